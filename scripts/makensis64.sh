#!/bin/sh
# makensis for a 64-bit installer, which Wine runs without its 32-bit half: CPack's NSIS generator
# calls this in makensis's place (CPACK_NSIS_EXECUTABLE).
exec makensis "-XTarget amd64-unicode" "$@"
