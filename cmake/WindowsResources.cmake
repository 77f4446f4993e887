# Windows only: the icons, the manifest and the version information the executables carry, and
# the names the installer shows.
set(MORVANE_PUBLISHER "The Morvane developers")
set(MORVANE_COPYRIGHT "Copyright 2026 The Morvane developers")
set(MORVANE_WINDOWS_DATA ${PROJECT_SOURCE_DIR}/data/windows)
if(PROJECT_VERSION_PATCH STREQUAL "")
  set(MORVANE_RC_PATCH 0)
else()
  set(MORVANE_RC_PATCH ${PROJECT_VERSION_PATCH})
endif()

# One .ico file per drawing with every size Windows shows; the largest stays PNG-compressed, as
# Windows reads it.
find_program(MORVANE_ICOTOOL icotool REQUIRED)
set(MORVANE_ICONS)
foreach(name Morvane Archive)
  set(icon ${PROJECT_BINARY_DIR}/${name}.ico)
  set(images)
  foreach(size 16 24 32 48 64 128)
    list(APPEND images ${MORVANE_WINDOWS_DATA}/icons/${name}-${size}.png)
  endforeach()
  add_custom_command(OUTPUT ${icon}
    COMMAND ${MORVANE_ICOTOOL} --create --output=${icon} ${images}
            --raw=${MORVANE_WINDOWS_DATA}/icons/${name}-256.png
    DEPENDS ${images} ${MORVANE_WINDOWS_DATA}/icons/${name}-256.png
    COMMENT "Making ${name}.ico"
    VERBATIM)
  list(APPEND MORVANE_ICONS ${icon})
endforeach()
add_custom_target(morvane_windows_icons DEPENDS ${MORVANE_ICONS})

# Gives an executable its resources: the icons named (the first is the one Explorer shows), the
# manifest, and version information with the description given.
function(morvane_windows_resources target description)
  set(MORVANE_RC_NAME ${target})
  set(MORVANE_RC_DESCRIPTION ${description})
  set(MORVANE_RC_MANIFEST ${MORVANE_WINDOWS_DATA}/Morvane.manifest)
  set(MORVANE_RC_ICONS)
  set(id 1)
  foreach(name IN LISTS ARGN)
    string(APPEND MORVANE_RC_ICONS "${id} ICON \"${PROJECT_BINARY_DIR}/${name}.ico\"\n")
    math(EXPR id "${id} + 1")
  endforeach()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${MORVANE_WINDOWS_DATA}/Resources.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${MORVANE_ICONS};${MORVANE_RC_MANIFEST}")
  add_dependencies(${target} morvane_windows_icons)
endfunction()
