#!/bin/sh
# Fails when a folder includes a header of a folder above it (or beside it where it may not):
# app -> window -> widgets, session, settings, boards, attached; attached -> boards; session -> production, fuses, installed, runner;
# production -> fuses; fuses -> compose, images; app -> explain -> session, boards, fuses, installed;
# boards -> fuses; installed -> compose, runner.
set -u
root="$1"
status=0
allowed() {
  case "$1" in
    runner) echo "runner" ;;
    compose) echo "compose" ;;
    images) echo "images" ;;
    fuses) echo "fuses compose images" ;;
    installed) echo "installed compose runner" ;;
    settings) echo "settings compose" ;;
    production) echo "production fuses compose images" ;;
    session) echo "session production fuses installed compose images runner" ;;
    widgets) echo "widgets fuses compose images" ;;
    boards) echo "boards fuses compose images" ;;
    attached) echo "attached boards fuses compose images" ;;
    explain) echo "explain session production boards attached installed fuses compose images runner" ;;
    window) echo "window session production settings widgets boards attached fuses compose images runner" ;;
    app) echo "app window explain boards attached installed session production settings widgets fuses compose images runner" ;;
  esac
}
for folder in runner compose images fuses production installed boards attached settings session widgets explain window app; do
  ok=$(allowed "$folder")
  for used in $(grep -rhoE '^#include "[a-z_]+/' "$root/$folder" | sed 's/#include "//; s#/##' | sort -u); do
    case " $ok " in
      *" $used "*) ;;
      *) echo "$folder/ includes $used/:"; grep -rnE "^#include \"$used/" "$root/$folder"; status=1 ;;
    esac
  done
done
[ $status -eq 0 ] && echo "layers hold: every include points down"
exit $status
