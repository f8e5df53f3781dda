# Cross build for 64-bit Windows with MinGW-w64; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Wine's 64-bit loader, called by its path: the wine command picks the 32-bit
# one whenever it is installed. WINELOADER tells Wine which loader starts the
# programs that a program starts (cmd running strrepl.exe).
find_program(WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE64 wine64)
if(WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINELOADER=${WINE64} ${WINE64})
endif()
