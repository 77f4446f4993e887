# Windows only: the executable's resources, and the morvane-windows target that gathers
# Morvane.exe with the Qt DLLs and plugins it loads into a folder and a zip.

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
add_custom_target(morvane-windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${MORVANE_WINDOWS_DIR} ${MORVANE_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MORVANE_WINDOWS_DIR}/platforms
          ${MORVANE_WINDOWS_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E copy ${MORVANE_WINDOWS_FILES} ${MORVANE_WINDOWS_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          ${MORVANE_WINDOWS_DIR}/platforms
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
          ${MORVANE_WINDOWS_DIR}/styles
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}
          ${CMAKE_COMMAND} -E tar cf ${MORVANE_WINDOWS_ZIP} --format=zip morvane-windows
  DEPENDS Morvane
  COMMENT "Gathering Morvane.exe and the Qt it needs in morvane-windows/ and morvane-windows.zip"
  VERBATIM)
