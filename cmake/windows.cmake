# The Windows builds (./run windows): what stands where the Linux build finds its packages.
#
# - The real platform: platform/win, platform/com and platform/inet give their targets
#   (zwin, zcom, zinet) the system's own libraries instead of the stand-ins.
# - zlib: Debian's libz-mingw-w64-dev, linked into the modules.
# - TinyXML and SQLite: compiled here from Debian's source packages, which ./run windows
#   unpacks into ZEPHYR_WIN_SOURCES (tinyxml/ with the sources as Debian patched them,
#   sqlite/ with the amalgamation sqlite3.c and sqlite3.h made from the source package).
#   They take the names the Linux build's packages give (PkgConfig::TINYXML,
#   SQLite::SQLite3), so the folders link them the same way.

# The CAD host (cadhost.exe with its runtime DLL) and Ductora are built for 64-bit Windows,
# where Wine runs them; the 32-bit build holds the delivered modules and what they link.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZEPHYR_WINDOWS_HOST_DEFAULT ON)
else()
  set(ZEPHYR_WINDOWS_HOST_DEFAULT OFF)
endif()
option(ZEPHYR_WINDOWS_HOST "Build cadhost.exe and Ductora.arx" ${ZEPHYR_WINDOWS_HOST_DEFAULT})

set(ZEPHYR_WIN_SOURCES "" CACHE PATH "Folder of the third-party sources from Debian's source packages")
set(ZEPHYR_TINYXML_DIR ${ZEPHYR_WIN_SOURCES}/tinyxml)
set(ZEPHYR_SQLITE_DIR ${ZEPHYR_WIN_SOURCES}/sqlite)
foreach(needed ${ZEPHYR_TINYXML_DIR}/tinyxml.cpp ${ZEPHYR_SQLITE_DIR}/sqlite3.c)
  if(NOT EXISTS ${needed})
    message(FATAL_ERROR "${needed} is missing: ./run windows fetches the sources from Debian's source packages")
  endif()
endforeach()

# Windows 7 and later. windows.h whole (the open-file dialog, the shell), without its min
# and max macros.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)

find_package(Threads REQUIRED)
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# Third-party code compiles with its own warnings left off: -Wall -Wextra hold for ours.
add_library(zephyr_tinyxml STATIC
  ${ZEPHYR_TINYXML_DIR}/tinyxml.cpp ${ZEPHYR_TINYXML_DIR}/tinystr.cpp
  ${ZEPHYR_TINYXML_DIR}/tinyxmlerror.cpp ${ZEPHYR_TINYXML_DIR}/tinyxmlparser.cpp)
target_include_directories(zephyr_tinyxml SYSTEM PUBLIC ${ZEPHYR_TINYXML_DIR})
target_compile_definitions(zephyr_tinyxml PUBLIC TIXML_USE_STL)
target_compile_options(zephyr_tinyxml PRIVATE -w)
add_library(PkgConfig::TINYXML ALIAS zephyr_tinyxml)

add_library(zephyr_sqlite3 STATIC ${ZEPHYR_SQLITE_DIR}/sqlite3.c)
target_include_directories(zephyr_sqlite3 SYSTEM PUBLIC ${ZEPHYR_SQLITE_DIR})
target_compile_definitions(zephyr_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
# Its 250 000 lines without debug information: the build stays quick and nobody steps into it.
target_compile_options(zephyr_sqlite3 PRIVATE -w -g0)
add_library(SQLite::SQLite3 ALIAS zephyr_sqlite3)
