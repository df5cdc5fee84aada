# What a release holds and how CPack packs it (scripts/package runs it).
#
# The Windows build makes quorvane-<version>-win64.zip: the program and the
# texts a user opens from Explorer. The native build with the Linux overlay
# makes quorvane_<version>_amd64.deb: both programs, the menu entry and its
# icon, the manual pages and the copyright file; its Depends come from the
# binaries (dpkg-shlibdeps). `cmake --install` of a native build installs
# the same files under its prefix.

set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "The Quorvane authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manga-style focus lines over the whole screen")
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
set(qv_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(qv_staged ${PROJECT_BINARY_DIR}/packaging)

if(WIN32)
  # Texts with Windows line ends, named so that a double-click opens them.
  configure_file(${qv_packaging}/windows/README.txt.in ${qv_staged}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${qv_staged}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES ${qv_staged}/THIRD-PARTY-NOTICES.txt @ONLY
    NEWLINE_STYLE CRLF)
  if(TARGET quorvane)
    install(TARGETS quorvane RUNTIME DESTINATION .)
  endif()
  install(FILES ${qv_staged}/README.txt ${qv_staged}/LICENSE.txt ${qv_staged}/THIRD-PARTY-NOTICES.txt
    DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quorvane-${PROJECT_VERSION}-win64)
else()
  include(GNUInstallDirs)
  set(qv_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvane)

  # Debian wants manual pages and changelogs compressed with gzip -9n: no
  # name or time stamp in the header, so the same text packs the same.
  set(qv_compressed)
  function(qv_stage_gzip source staged)
    configure_file(${source} ${qv_staged}/${staged} @ONLY)
    add_custom_command(OUTPUT ${qv_staged}/${staged}.gz
      COMMAND gzip -9 -n -k -f ${qv_staged}/${staged}
      DEPENDS ${qv_staged}/${staged} VERBATIM)
    set(qv_compressed ${qv_compressed} ${qv_staged}/${staged}.gz PARENT_SCOPE)
  endfunction()

  if(TARGET quorvane-render)
    install(TARGETS quorvane-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    qv_stage_gzip(${qv_packaging}/man/quorvane-render.1.in quorvane-render.1)
    install(FILES ${qv_staged}/quorvane-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  if(TARGET quorvane)
    install(TARGETS quorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/linux/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${qv_packaging}/icons/quorvane.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
    qv_stage_gzip(${qv_packaging}/man/quorvane.1.in quorvane.1)
    install(FILES ${qv_staged}/quorvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  # A package without a version in its name is a native one: its changelog
  # is changelog.gz.
  qv_stage_gzip(${qv_packaging}/debian/changelog changelog)
  install(FILES ${qv_packaging}/debian/copyright ${qv_staged}/changelog.gz DESTINATION ${qv_docdir})
  add_custom_target(qv_compressed_docs ALL DEPENDS ${qv_compressed})

  set(QV_PACKAGE_MAINTAINER "The Quorvane authors <quorvane@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_NAME quorvane)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QV_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The panel's texts are Japanese; the overlay's transparency needs a
  # compositing manager, which desktops bring and bare window managers lack.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-japanese-gothic")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "picom | xcompmgr")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis line is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvane lays focus lines (speed lines converging on a point, as in manga)
over the whole X11 screen, in a topmost window that lets every click pass
through. A small control panel in Japanese sets the lines' density,
thickness, empty centre, colour, opacity, random variation and blur.
Gestures with the left Ctrl key move the centre, draw a new pattern, hide
the lines and resize the centre from any application.

The package also holds quorvane-render, which draws the same lines into
PNG, SVG or JSON files without a display.

Transparency needs a compositing manager, as desktop environments provide.")
endif()

include(CPack)
