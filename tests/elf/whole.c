/* A whole chip in one file: flash, EEPROM, fuses and lock bits (see README.md for the commands). */
#include <avr/io.h>
#include <avr/eeprom.h>
#include <avr/fuse.h>
#include <avr/lock.h>

#ifndef LOW
#define LOW 0xE4
#endif
#ifndef HIGH
#define HIGH 0xD9
#endif
#ifndef LOCK
#define LOCK 0xCF /* the boot section protected; no lock on the chip */
#endif

FUSES = {.low = LOW, .high = HIGH};
LOCKBITS = LOCK;
uint8_t EEMEM greeting[6] = "hello";

int main(void)
{
    DDRB = 1;
    for (;;)
        PORTB ^= eeprom_read_byte(&greeting[0]);
}
