# Windows only: the executable's resources, and the morvane-windows target that gathers
# Morvane.exe with the Qt DLLs and plugins it loads, the README and the licence texts shipping
# Qt requires into a folder and a zip; the MSI package is made from that folder.

morvane_windows_resources(Morvane "Morvane: builds and edits POD3 archives" Morvane Archive)

# Qt finds the platform and style plugins in these folders beside the executable; PNG support is
# built into Qt6Gui. The C and C++ runtimes are linked into the executable and into each Qt DLL.
set(MORVANE_WINDOWS_DIR ${CMAKE_BINARY_DIR}/morvane-windows)
set(MORVANE_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/morvane-windows.zip)
set(MORVANE_WINDOWS_FILES $<TARGET_FILE:Morvane>
  $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
if(TARGET morvane-cli)
  list(APPEND MORVANE_WINDOWS_FILES $<TARGET_FILE:morvane-cli>)
endif()
# The Qt DLLs are shipped under the LGPL 3, which adds to the GPL 3; the texts and Qt's own list
# of authors and licences are taken from the Debian system that builds them.
set(MORVANE_LICENCE_TEXTS /usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
  /usr/share/doc/libqt6core6/copyright)
foreach(text IN LISTS MORVANE_LICENCE_TEXTS)
  if(NOT EXISTS ${text})
    message(FATAL_ERROR "${text} is missing: the Windows build ships it beside the Qt DLLs")
  endif()
endforeach()
add_custom_target(morvane-windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${MORVANE_WINDOWS_DIR} ${MORVANE_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MORVANE_WINDOWS_DIR}/platforms
          ${MORVANE_WINDOWS_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E copy ${MORVANE_WINDOWS_FILES} ${MORVANE_WINDOWS_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          ${MORVANE_WINDOWS_DIR}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
          ${MORVANE_WINDOWS_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${MORVANE_WINDOWS_DIR}/README.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/windows/Qt-licence.txt
          ${MORVANE_WINDOWS_DIR}/Qt-licence.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/common-licenses/LGPL-3 ${MORVANE_WINDOWS_DIR}/LGPL-3.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/common-licenses/GPL-3 ${MORVANE_WINDOWS_DIR}/GPL-3.txt
  COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/libqt6core6/copyright ${MORVANE_WINDOWS_DIR}/Qt-copyright.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}
          ${CMAKE_COMMAND} -E tar cf ${MORVANE_WINDOWS_ZIP} --format=zip morvane-windows
  DEPENDS Morvane
  COMMENT "Gathering Morvane.exe and the Qt it needs in morvane-windows/ and morvane-windows.zip"
  VERBATIM)

# The installer, Morvane-<version>-x64.msi, made by wixl (msitools) from the gathered folder.
find_program(MORVANE_WIXL wixl)
find_program(MORVANE_MSIBUILD msibuild)
if(MORVANE_WIXL AND MORVANE_MSIBUILD)
  set(MORVANE_MSI ${CMAKE_BINARY_DIR}/Morvane-${PROJECT_VERSION}-x64.msi)
  add_custom_target(morvane-msi
    COMMAND bash ${PROJECT_SOURCE_DIR}/data/windows/make-msi.sh ${PROJECT_VERSION} ${MORVANE_WINDOWS_DIR}
            ${PROJECT_BINARY_DIR} ${MORVANE_MSI}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/windows/Morvane.wxs ${PROJECT_SOURCE_DIR}/data/windows/make-msi.sh
    COMMENT "Making Morvane-${PROJECT_VERSION}-x64.msi"
    VERBATIM)
  add_dependencies(morvane-msi morvane-windows morvane_windows_icons)
endif()
