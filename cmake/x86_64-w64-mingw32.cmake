# The 64-bit edition: AsioQuimble64.exe, for 64-bit ASIO programs.
set(triplet x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(quimble_edition 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
