/* Fuses and nothing else: avr-gcc leaves an empty .data section at .fuse's file offset. */
#include <avr/io.h>
#include <avr/fuse.h>

FUSES = {.low = 0xE1, .high = 0xD9};

int main(void)
{
    for (;;)
        ;
}
