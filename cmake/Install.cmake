# Where `cmake --install` puts the programs and their desktop files (the XDG
# places below the prefix), and the Debian package CPack makes of them:
#   cmake --install build/release --prefix /usr/local
#   (cd build/release && cpack -G DEB)
# On Windows the installer puts vexmoor.exe into Program Files\Vexmoor:
#   (cd build/windows && cpack)                         # vexmoor-0.642-setup.exe
include(GNUInstallDirs)

if(WIN32)
  install(TARGETS vexmoor RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/examples/sample-ds.qdat DESTINATION .)
  set(CPACK_GENERATOR NSIS)
  set(CPACK_PACKAGE_NAME vexmoor)
  set(CPACK_PACKAGE_VENDOR "Vexmoor")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME vexmoor-${PROJECT_VERSION}-setup)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Vexmoor)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Vexmoor)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_PACKAGE_NAME Vexmoor)
  set(CPACK_NSIS_DISPLAY_NAME Vexmoor)
  set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
  set(CPACK_NSIS_MODIFY_PATH OFF)
  set(CPACK_STRIP_FILES ON)
  # A 64-bit installer: the programs are 64-bit only, and so is the system
  # that runs them.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  include(CPack)
  return()
endif()

install(TARGETS vexmoor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(VEXMOOR_GUI)
  install(TARGETS moorscan moorpurge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/moorscan.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  set(icons ${PROJECT_SOURCE_DIR}/shell/resources/icons)
  set(hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable)
  install(FILES ${icons}/1.svg DESTINATION ${hicolor}/apps RENAME moorscan.svg)
  install(FILES ${icons}/101.svg DESTINATION ${hicolor}/mimetypes RENAME application-x-quen-dat.svg)
  install(FILES ${icons}/102.svg DESTINATION ${hicolor}/mimetypes RENAME application-x-quen-cache.svg)
  install(FILES ${PROJECT_SOURCE_DIR}/platform/qt/vexmoor-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME vexmoor.xml)
endif()

set(CPACK_PACKAGE_NAME vexmoor)
set(CPACK_PACKAGE_VENDOR "Vexmoor")
set(CPACK_PACKAGE_CONTACT "Vexmoor maintainers <maintainers@vexmoor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ROM set auditor for Nintendo DS cartridge dumps")
set(CPACK_PACKAGE_DESCRIPTION
    "moorscan checks a folder of dumps against a dat and shows what is found, missing or bad; moorpurge prepares a clean upgrade; vexmoor is the command-line tool.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# https checks certificates against the system's CA store; the X11 and
# Wayland platform plugins are a separate package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates")
if(VEXMOOR_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates, qt6-qpa-plugins")
endif()
include(CPack)
