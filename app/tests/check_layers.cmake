# The layering of the sources, checked on their #include lines (docs/ARCHITECTURE.md draws it):
#
#   engine, platform, resources   use none of the others
#   document                      engine, platform, resources
#   plugin host                   engine, platform, resources, document
#   user interface                all of the above
#   plugins                       engine, resources and the public plugin header only; their
#                                 tests may also use the host's private plugin headers
#
# The engine and the public plugin header include no Qt header either. Run as
#   cmake -DSOURCE_DIR=<repository> -P check_layers.cmake
# It prints every include that runs against the layers and fails when there is one.
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

# The layer a source file belongs to, from its path inside the repository.
function(layer_of_file path out)
  set(layer "")
  if(path MATCHES "^engine/" OR path STREQUAL "app/host_engine.h")
    set(layer engine)
  elseif(path MATCHES "^app/platform/")
    set(layer platform)
  elseif(path MATCHES "^app/document/")
    set(layer document)
  elseif(path MATCHES "^app/plugin_host/")
    set(layer plugin_host)
  elseif(path MATCHES "^app/ui/")
    set(layer ui)
  elseif(path MATCHES "^plugins/")
    set(layer plugin)
  elseif(path MATCHES "^resources/")
    set(layer resources)
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# The layer an include names; empty for a header beside the including file or outside the
# project.
function(layer_of_include name out)
  set(layer "")
  if(name MATCHES "^engine/" OR name STREQUAL "app/host_engine.h" OR name MATCHES "^tarno(\\.h|/)")
    set(layer engine)
  elseif(name MATCHES "^(app/)?platform/")
    set(layer platform)
  elseif(name MATCHES "^app/document/")
    set(layer document)
  elseif(name MATCHES "^app/plugin_host/")
    set(layer plugin_host)
  elseif(name MATCHES "^app/ui/")
    set(layer ui)
  elseif(name MATCHES "^plugins/")
    set(layer plugin)
  elseif(name MATCHES "^resources/" OR name MATCHES "^(korvane_ids|fennic_ids|stringtable)\\.h$")
    set(layer resources)
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

set(uses_engine "")
set(uses_platform "")
set(uses_resources "")
set(uses_document engine platform resources)
set(uses_plugin_host engine platform resources document)
set(uses_ui engine platform resources document plugin_host)
set(uses_plugin engine resources plugin_host)
set(public_plugin_header "app/plugin_host/korvane_plugin.h")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" LIST_DIRECTORIES false
  "${SOURCE_DIR}/engine/*.h" "${SOURCE_DIR}/engine/*.cpp" "${SOURCE_DIR}/engine/*.inc"
  "${SOURCE_DIR}/app/*.h" "${SOURCE_DIR}/app/*.cpp"
  "${SOURCE_DIR}/plugins/*.h" "${SOURCE_DIR}/plugins/*.cpp"
  "${SOURCE_DIR}/resources/*.h" "${SOURCE_DIR}/resources/*.cpp")

set(violations 0)
set(checked 0)
foreach(path IN LISTS sources)
  layer_of_file("${path}" layer)
  if(layer STREQUAL "")
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  set(in_tests FALSE)
  if(path MATCHES "/tests/")
    set(in_tests TRUE)
  endif()
  file(STRINGS "${SOURCE_DIR}/${path}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "include[ \t]*([\"<])([^\">]+)[\">]")
      continue()
    endif()
    set(bracket "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    set(why "")
    if(bracket STREQUAL "<")
      if(name MATCHES "^Q" AND (layer STREQUAL "engine" OR path STREQUAL public_plugin_header))
        set(why "no Qt here")
      endif()
    else()
      layer_of_include("${name}" target)
      if(path STREQUAL public_plugin_header AND NOT target STREQUAL "")
        set(why "the public plugin header stands alone")
      elseif(NOT target STREQUAL "" AND NOT target STREQUAL layer)
        if(NOT target IN_LIST uses_${layer})
          set(why "${layer} may not use ${target}")
        elseif(layer STREQUAL "plugin" AND target STREQUAL "plugin_host" AND NOT in_tests
               AND NOT name STREQUAL public_plugin_header)
          set(why "a plugin reaches the host through ${public_plugin_header} only")
        endif()
      endif()
    endif()
    if(NOT why STREQUAL "")
      message("${path}: ${name}: ${why}")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) run against the layers")
endif()
message(STATUS "${checked} files keep the layers")
