# reader/core's sources: the one list both faces build, the Linux library here and the Windows
# reader in reader/win32/mingw, so a rule added to the core reaches both readers.
file(GLOB FOLIO_READER_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
