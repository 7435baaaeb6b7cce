# Installing the program for the desktop, and the Debian package.
#
#   cmake --install <build> --prefix <prefix>
#     <prefix>/bin/sortelle
#     <prefix>/share/quendrix-sortelle/introduction.html
#     <prefix>/share/applications/quendrix-sortelle.desktop
#     <prefix>/share/metainfo/org.quendrix.sortelle.metainfo.xml
#     <prefix>/share/icons/hicolor/{scalable,NxN}/apps/quendrix-sortelle.{svg,png}
#   cpack -G DEB (in the build folder): quendrix-sortelle_<version>_<arch>.deb
#
# The program finds its introduction page at <program folder>/../share/
# quendrix-sortelle/, so the build folder gets a copy at the same place
# relative to the programs it builds (src/ and tests/ both lie one level down).

include(GNUInstallDirs)

set(SORTELLE_RELEASE_DATE "2026-12-10" CACHE STRING "Date of this release (YYYY-MM-DD), for the AppStream metainfo")
set(SORTELLE_APP_ID "org.quendrix.sortelle")
set(SORTELLE_DATA_NAME "quendrix-sortelle")

# The introduction page, beside the programs of the build folder.
configure_file(${CMAKE_SOURCE_DIR}/resources/help/introduction.html
               ${CMAKE_BINARY_DIR}/share/${SORTELLE_DATA_NAME}/introduction.html COPYONLY)

# AppStream metainfo with this build's version.
configure_file(${CMAKE_SOURCE_DIR}/packaging/${SORTELLE_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${SORTELLE_APP_ID}.metainfo.xml @ONLY)

# The application icon: the SVG for every size, and PNG renderings of the
# hicolor sizes for desktops that do not scale SVG icons.
set(SORTELLE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(SORTELLE_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/app/quendrix-sortelle.svg)
find_program(RSVG_CONVERT rsvg-convert)
set(SORTELLE_PNG_ICONS "")
if(RSVG_CONVERT)
    foreach(size ${SORTELLE_ICON_SIZES})
        set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/quendrix-sortelle.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${SORTELLE_ICON_SVG}
            DEPENDS ${SORTELLE_ICON_SVG}
            COMMENT "Rendering the application icon at ${size} px" VERBATIM)
        list(APPEND SORTELLE_PNG_ICONS ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(sortelle_icons ALL DEPENDS ${SORTELLE_PNG_ICONS})
else()
    message(WARNING "rsvg-convert not found (package librsvg2-bin): only the scalable application icon is installed")
endif()

install(TARGETS sortelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/help/introduction.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${SORTELLE_DATA_NAME})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quendrix-sortelle.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${SORTELLE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${SORTELLE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The Debian package. Its dependencies come from the shared libraries the
# program links (dpkg-shlibdeps); the SVG icon engine is a Qt plug-in loaded at
# run time, not linked, so its package is named here.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quendrix-sortelle")
set(CPACK_PACKAGE_VENDOR "The Quendrix Sortelle developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file catalogue with an embedded media player")
# The long description, one paragraph; CPack indents its lines for the control file.
set(CPACK_PACKAGE_DESCRIPTION
    "Quendrix Sortelle keeps a catalogue of your files: a tree of categories,\nsub-categories and collections, each collection a table of file entries.\nAudio and video entries play in the built-in player, which remembers the\nposition reached and the percentage played; other files open in the\napplication the desktop uses for them.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quendrix Sortelle developers <sortelle@quendrix.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, xdg-utils")
include(CPack)
