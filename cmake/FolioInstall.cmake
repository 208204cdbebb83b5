# Installation and the Debian package: `cmake --install` and `cpack -G DEB`.
#
# The maker folder is installed whole, as built in ${FOLIO_DIST}, to <prefix>/lib/folio/folioMake:
# the programs find their data beside their own (resolved) file, so the layout stays the one
# the build tree has. <prefix>/bin holds links to the command-line tool and the readers, and a
# script that starts the workbench in a maker folder of the user's own (packaging/folioMake.sh).
# Around them: desktop entries, icons, the Book image file type, and an inactive binfmt_misc
# entry the administrator may enable.

set(FOLIO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(FOLIO_MAKER_DEST lib/folio/folioMake)
set(FOLIO_STAGE ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${FOLIO_STAGE}/bin)

# ---- the maker folder ------------------------------------------------------------------------

foreach(program folio folioMake)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${FOLIO_MAKER_DEST})
  endif()
endforeach()
foreach(program folioPage folioNet)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${FOLIO_MAKER_DEST}/folioPage)
  endif()
endforeach()
if(TARGET SkinH_VB6)
  install(TARGETS SkinH_VB6 LIBRARY DESTINATION ${FOLIO_MAKER_DEST} NAMELINK_SKIP)
endif()
if(TARGET folio_hhc)
  install(TARGETS folio_hhc RUNTIME DESTINATION ${FOLIO_MAKER_DEST}/chm)
endif()
# The Windows template and skin library, built by the cross build into the maker folder. A book
# takes the template's permissions, so the template stays executable for books to start.
if(TARGET folio_win32)
  install(PROGRAMS ${FOLIO_DIST}/folioPage/folioPage.dat ${FOLIO_DIST}/folioPage/SkinH_VB6.dll
          DESTINATION ${FOLIO_MAKER_DEST}/folioPage)
endif()
# The data files go the way the build copies them into the maker folder (data/'s own script),
# so the two cannot drift apart; what the build tree's maker folder gathers while it is used
# (out/, the settings, projects) is not installed.
if(TARGET folio_data)
  install(CODE "
    set(dst \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${FOLIO_MAKER_DEST}\")
    message(STATUS \"Installing the maker folder's data: \${dst}\")
    execute_process(COMMAND \"${CMAKE_COMMAND}\" -DSRC=${CMAKE_SOURCE_DIR}/data -DDST=\${dst}
                            -P ${CMAKE_BINARY_DIR}/data/copydata.cmake
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR \"copying the maker folder's data into \${dst} failed\")
    endif()")
endif()

# ---- <prefix>/bin ----------------------------------------------------------------------------

set(FOLIO_LINKS folio)
if(FOLIO_BUILD_UI)
  list(APPEND FOLIO_LINKS folioPage/folioPage folioPage/folioNet)
endif()
foreach(link ${FOLIO_LINKS})
  get_filename_component(name ${link} NAME)
  file(CREATE_LINK ../${FOLIO_MAKER_DEST}/${link} ${FOLIO_STAGE}/bin/${name} SYMBOLIC)
  install(FILES ${FOLIO_STAGE}/bin/${name} DESTINATION bin)
endforeach()
if(FOLIO_BUILD_UI)
  install(PROGRAMS ${FOLIO_PACKAGING_DIR}/folioMake.sh DESTINATION bin RENAME folioMake)
endif()

# ---- desktop integration ---------------------------------------------------------------------

if(FOLIO_BUILD_UI)
  install(FILES ${FOLIO_PACKAGING_DIR}/folioMake.desktop ${FOLIO_PACKAGING_DIR}/folioPage.desktop
                ${FOLIO_PACKAGING_DIR}/folioNet.desktop
          DESTINATION share/applications)
endif()
install(FILES ${FOLIO_PACKAGING_DIR}/folio-book.xml DESTINATION share/mime/packages)

# The icons are drawn by our own script at build time.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(FOLIO_ICON_SIZES 16 32 48 64 128 256)
set(FOLIO_ICON_NAMES folioMake folioPage folioNet application-x-folio-book)
set(FOLIO_ICON_OUTPUTS)
foreach(name ${FOLIO_ICON_NAMES})
  list(APPEND FOLIO_ICON_OUTPUTS ${FOLIO_STAGE}/icons/scalable/${name}.svg)
  foreach(size ${FOLIO_ICON_SIZES})
    list(APPEND FOLIO_ICON_OUTPUTS ${FOLIO_STAGE}/icons/${size}x${size}/${name}.png)
  endforeach()
endforeach()
add_custom_command(OUTPUT ${FOLIO_ICON_OUTPUTS}
  COMMAND Python3::Interpreter ${FOLIO_PACKAGING_DIR}/makeicons.py ${FOLIO_STAGE}/icons
  DEPENDS ${FOLIO_PACKAGING_DIR}/makeicons.py
  COMMENT "Drawing the desktop icons")
add_custom_target(folio_icons ALL DEPENDS ${FOLIO_ICON_OUTPUTS})
foreach(size ${FOLIO_ICON_SIZES} scalable)
  set(dir ${size}x${size})
  set(ext png)
  if(size STREQUAL "scalable")
    set(dir scalable)
    set(ext svg)
  endif()
  foreach(name ${FOLIO_ICON_NAMES})
    set(context apps)
    if(name MATCHES "^application-")
      set(context mimetypes)
    endif()
    install(FILES ${FOLIO_STAGE}/icons/${dir}/${name}.${ext}
            DESTINATION share/icons/hicolor/${dir}/${context})
  endforeach()
endforeach()

# binfmt_misc: with it the kernel itself hands a book that is started without a shell to the
# reader. Entries under binfmt.d/ are loaded at every boot, so it is installed where nothing
# loads it; the administrator links it into /etc/binfmt.d/ to enable it (see README.md). The
# reader's path is the installed one, known only when installing.
if(FOLIO_BUILD_UI)
  # Written straight into the destination: the build tree may be read-only when installing.
  install(CODE "
    set(FOLIO_READER_PATH \"\${CMAKE_INSTALL_PREFIX}/bin/folioPage\")
    set(conf \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/folio/binfmt.d/folio-book.conf\")
    message(STATUS \"Installing: \${conf}\")
    configure_file(${FOLIO_PACKAGING_DIR}/folio-book.conf \${conf} @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \${conf})")
endif()

# ---- the Debian package ----------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME folio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "folio developers <folio@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "e-book maker and readers for books made of web pages")
set(CPACK_PACKAGE_DESCRIPTION
    "folio turns a folder of web pages into one self-contained e-book program (a 32-bit Windows
program that holds every page) and reads such books on Linux: the maker workbench folioMake,
the readers folioPage and folioNet, and the command-line tool folio.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs start or load by name rather than link: the help compiler's chmcmd, the
# speech engines and media plug-ins; each only serves one feature, so none is a dependency.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, xdg-utils, fp-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
    "espeak-ng, flite, speech-dispatcher, qt6-speech-flite-plugin, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(FOLIO_PACKAGE_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
foreach(script postinst postrm)
  configure_file(${FOLIO_PACKAGING_DIR}/${script} ${FOLIO_STAGE}/debian/${script} @ONLY)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${FOLIO_STAGE}/debian/postinst ${FOLIO_STAGE}/debian/postrm)
include(CPack)
