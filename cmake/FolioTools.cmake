# Tools the tests and the reader template cannot do without. A build that lacks one would
# otherwise drop the file-format tests with a warning nobody reads and still pass, so a
# missing tool stops the configuration unless FOLIO_ALLOW_MISSING_TOOLS=1 (as a -D option or
# in the environment, as the checker tools accept it at run time) says that is wanted.
set(FOLIO_ALLOW_MISSING_TOOLS "$ENV{FOLIO_ALLOW_MISSING_TOOLS}" CACHE STRING
    "1: leave out what needs a missing tool instead of stopping the configuration")

function(folio_missing_tool what)
  if(FOLIO_ALLOW_MISSING_TOOLS)
    message(WARNING "${what}; left out (FOLIO_ALLOW_MISSING_TOOLS=${FOLIO_ALLOW_MISSING_TOOLS})")
  else()
    message(FATAL_ERROR "${what}. Run scripts/install-deps.sh, or configure with "
                        "-DFOLIO_ALLOW_MISSING_TOOLS=1 to leave it out.")
  endif()
endfunction()

# The mingw-w64 C compiler and resource compiler, which link the PE32 test programs.
find_program(FOLIO_MINGW_GCC i686-w64-mingw32-gcc)
find_program(FOLIO_MINGW_WINDRES i686-w64-mingw32-windres)
if(FOLIO_MINGW_GCC AND FOLIO_MINGW_WINDRES)
  set(FOLIO_HAVE_MINGW TRUE)
else()
  set(FOLIO_HAVE_MINGW FALSE)
endif()
