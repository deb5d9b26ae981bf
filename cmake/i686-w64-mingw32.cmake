# The 32-bit edition: AsioQuimble.exe, for 32-bit ASIO programs.
set(triplet i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(quimble_edition 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
