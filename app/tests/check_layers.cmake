# The layering of the sources, checked on their #include lines (docs/ARCHITECTURE.md draws it):
#
#   engine, platform, resources   use none of the others
#   flavours (app/flavours/)      engine, platform, resources
#   document                      engine, platform, resources, flavours
#   command line (app/cli/)       engine, platform, resources, flavours, document
#   plugin host                   engine, platform, resources, document
#   user interface                all of the above; the command line only from app/ui/main.cpp,
#                                 the program's entry, which picks a mode before any window
#   plugins                       engine, resources and the public plugin header only; their
#                                 tests may also use the host's private plugin headers
#   fuzz                          engine, platform, resources, document
#   bench (the engine's benches)  engine; the shared corpus (bench/corpus.h) may be used by
#                                 the tests and benches of every layer
#
# Inside the document the feature folders are sub-layers in one order, bottom to top (the list
# `document_folders` below): a folder's sources include only their own folder and folders below
# it, and core/ (the document itself) is on top, so the folders' libraries link without a cycle.
# A folder's tests and benches may use any folder of the document (most drive the feature
# through the document with core/tests/headless_ui.h); they are not part of its library. A
# source directly in app/document/ or in a folder that is not in the list is reported, so a new
# feature folder takes its place in the order before it can be used. The document's header
# (core/korvane_doc.h), which every view includes, includes of the document only core/ and the
# model it is made of (pattern/, matching/): a feature's types are declared there, not defined,
# and come from the feature's own header where they are used, so that a change to a feature
# does not rebuild every view.
#
# The user interface has its folders in one order too, bottom to top (`ui_folders` below):
# shared/ (what the frame offers the views), editor/, results/, panes/ (one folder per docking
# pane), frame/. A folder's sources include only their own folder and the folders below it, and a
# pane's folder never another pane's folder, so a view never reaches the frame or a pane beside
# it. The tests, benches and tools in a folder (tests/, bench/, tools/) may use any folder, like
# app/ui/main.cpp and the window's own tests/, tools/ and bench/ directly in app/ui/. A source
# directly in app/ui/ (but main.cpp), directly in app/ui/panes/ or in a folder that is not in
# the list is reported.
#
# The engine and the public plugin header include no Qt header either. Every include, quoted
# or in angle brackets, is resolved as the compiler would: a quoted name first beside the
# including file (`../` included), then, like a bracketed one, in the include folders the
# targets give (the repository, app/, resources/, engine/). So `#include "ui/frame/main_frame.h"`
# from the document, which the compiler finds through app/, is seen for what it is. A name
# found nowhere in the repository is outside the project (the standard library, Qt, a test
# framework), except the generated platform/version.h. Run as
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
  elseif(path MATCHES "^app/flavours/")
    set(layer flavours)
  elseif(path MATCHES "^app/document/")
    set(layer document)
  elseif(path MATCHES "^app/cli/")
    set(layer cli)
  elseif(path MATCHES "^app/plugin_host/")
    set(layer plugin_host)
  elseif(path MATCHES "^app/ui/")
    set(layer ui)
  elseif(path MATCHES "^plugins/")
    set(layer plugin)
  elseif(path MATCHES "^resources/")
    set(layer resources)
  elseif(path MATCHES "^fuzz/")
    set(layer fuzz)
  elseif(path MATCHES "^bench/")
    set(layer bench)
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# The document's feature folders, bottom to top.
set(document_folders pattern matching debugger testing files backtrack diagram flavours core)
set(document_header app/document/core/korvane_doc.h)
set(document_header_folders core pattern matching)

# The feature folder of a document source: one of document_folders, or "?" for a source outside
# them (directly in app/document/, or in a folder that is not in the list).
function(document_folder_of path out)
  set(folder "?")
  if(path MATCHES "^app/document/([^/]+)/" AND CMAKE_MATCH_1 IN_LIST document_folders)
    set(folder "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
endfunction()

# The user interface's folders, bottom to top; panes/ holds one folder per docking pane.
set(ui_folders shared editor results panes frame)

# The folder of a user-interface source: one of ui_folders (with the pane's name in `out_pane`
# for panes/<pane>/), "top" for the program's entry and the window's tests, tools and bench, or
# "?" for a source outside them all.
function(ui_folder_of path out out_pane)
  set(folder "?")
  set(pane "")
  if(path STREQUAL "app/ui/main.cpp" OR path MATCHES "^app/ui/(tests|tools|bench)/")
    set(folder top)
  elseif(path MATCHES "^app/ui/panes/([^/]+)/")
    set(folder panes)
    set(pane "${CMAKE_MATCH_1}")
  elseif(path MATCHES "^app/ui/([^/]+)/" AND CMAKE_MATCH_1 IN_LIST ui_folders
         AND NOT CMAKE_MATCH_1 STREQUAL "panes")
    set(folder "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${folder}" PARENT_SCOPE)
  set(${out_pane} "${pane}" PARENT_SCOPE)
endfunction()

# The include folders the targets give, in the compiler's order after the including file's own.
set(include_roots "" "app/" "resources/" "engine/")

# The repository path an include resolves to, or "" when it is not the project's: `name` as
# written, `bracket` " or <, `from` the including file's repository path.
function(resolve_include name bracket from out)
  set(found "")
  set(candidates "")
  if(bracket STREQUAL "\"")
    get_filename_component(dir "${from}" DIRECTORY)
    list(APPEND candidates "${dir}/${name}")
  endif()
  foreach(root IN LISTS include_roots)
    list(APPEND candidates "${root}${name}")
  endforeach()
  foreach(candidate IN LISTS candidates)
    cmake_path(NORMAL_PATH candidate)
    if(candidate MATCHES "^\\.\\./" OR candidate MATCHES "^/")
      continue()
    endif()
    if(EXISTS "${SOURCE_DIR}/${candidate}" AND NOT IS_DIRECTORY "${SOURCE_DIR}/${candidate}")
      set(found "${candidate}")
      break()
    endif()
  endforeach()
  if(found STREQUAL "" AND name STREQUAL "platform/version.h")
    set(found "app/platform/version.h.in")  # made in the build folder from this one
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(uses_engine "")
set(uses_platform "")
set(uses_resources "")
set(uses_flavours engine platform resources)
set(uses_document engine platform resources flavours)
set(uses_cli engine platform resources flavours document)
set(uses_plugin_host engine platform resources document)
set(uses_ui engine platform resources flavours document plugin_host cli)
# The one file of the user interface that may use the command line.
set(cli_entry "app/ui/main.cpp")
set(uses_plugin engine resources plugin_host)
set(uses_fuzz engine platform resources document)
set(uses_bench engine)
set(public_plugin_header "app/plugin_host/korvane_plugin.h")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" LIST_DIRECTORIES false
  "${SOURCE_DIR}/engine/*.h" "${SOURCE_DIR}/engine/*.cpp" "${SOURCE_DIR}/engine/*.inc"
  "${SOURCE_DIR}/app/*.h" "${SOURCE_DIR}/app/*.cpp"
  "${SOURCE_DIR}/plugins/*.h" "${SOURCE_DIR}/plugins/*.cpp"
  "${SOURCE_DIR}/resources/*.h" "${SOURCE_DIR}/resources/*.cpp"
  "${SOURCE_DIR}/fuzz/*.h" "${SOURCE_DIR}/fuzz/*.cpp" "${SOURCE_DIR}/fuzz/*.inc"
  "${SOURCE_DIR}/bench/*.h" "${SOURCE_DIR}/bench/*.cpp")

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
  set(in_tests_or_bench ${in_tests})
  if(path MATCHES "/bench/")
    set(in_tests_or_bench TRUE)
  endif()
  set(folder "")
  if(layer STREQUAL "document")
    document_folder_of("${path}" folder)
    if(folder STREQUAL "?")
      message("${path}: not in a feature folder of the document (document_folders)")
      math(EXPR violations "${violations} + 1")
    endif()
    list(FIND document_folders "${folder}" folder_rank)
  endif()
  set(ui_folder "")
  if(layer STREQUAL "ui")
    ui_folder_of("${path}" ui_folder ui_pane)
    if(ui_folder STREQUAL "?")
      message("${path}: not in a folder of the user interface (ui_folders)")
      math(EXPR violations "${violations} + 1")
    endif()
    list(FIND ui_folders "${ui_folder}" ui_rank)
  endif()
  # Tests, benches and tools of a user-interface folder may use any folder.
  set(ui_free ${in_tests_or_bench})
  if(path MATCHES "/tools/" OR ui_folder STREQUAL "top" OR ui_folder STREQUAL "?")
    set(ui_free TRUE)
  endif()
  file(STRINGS "${SOURCE_DIR}/${path}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "include[ \t]*([\"<])([^\">]+)[\">]")
      continue()
    endif()
    set(bracket "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    set(why "")
    resolve_include("${name}" "${bracket}" "${path}" resolved)
    set(target "")
    if(NOT resolved STREQUAL "")
      layer_of_file("${resolved}" target)
    endif()
    if(bracket STREQUAL "<" AND name MATCHES "^Q" AND resolved STREQUAL ""
       AND (layer STREQUAL "engine" OR path STREQUAL public_plugin_header))
      set(why "no Qt here")
    elseif(path STREQUAL public_plugin_header AND NOT target STREQUAL "")
      set(why "the public plugin header stands alone")
    elseif(layer STREQUAL "document" AND target STREQUAL "document" AND NOT in_tests_or_bench
           AND NOT folder STREQUAL "?")
      document_folder_of("${resolved}" target_folder)
      list(FIND document_folders "${target_folder}" target_rank)
      if(target_rank GREATER folder_rank OR target_rank LESS 0)
        set(why "document/${folder} may not use document/${target_folder} (${resolved})")
      elseif(path STREQUAL document_header AND NOT target_folder IN_LIST document_header_folders)
        set(why "the document's header includes no feature header: declare the type (${resolved})")
      endif()
    elseif(layer STREQUAL "ui" AND target STREQUAL "ui" AND NOT ui_free)
      ui_folder_of("${resolved}" target_folder target_pane)
      list(FIND ui_folders "${target_folder}" target_rank)
      if(target_folder STREQUAL "?")
        # reported where it stands
      elseif(target_rank LESS 0)
        set(why "ui/${ui_folder} may not use the program's entry or the window's tests, tools and bench (${resolved})")
      elseif(target_rank GREATER ui_rank)
        set(why "ui/${ui_folder} may not use ui/${target_folder} (${resolved})")
      elseif(ui_folder STREQUAL "panes" AND target_folder STREQUAL "panes"
             AND NOT target_pane STREQUAL ui_pane)
        set(why "the pane ui/panes/${ui_pane} may not use another pane, ui/panes/${target_pane} (${resolved})")
      endif()
    elseif(NOT target STREQUAL "" AND NOT target STREQUAL layer)
      if(target STREQUAL "bench" AND resolved STREQUAL "bench/corpus.h" AND in_tests_or_bench)
        # the shared corpus of the tests and benches
      elseif(NOT target IN_LIST uses_${layer})
        set(why "${layer} may not use ${target} (${resolved})")
      elseif(layer STREQUAL "ui" AND target STREQUAL "cli" AND NOT path STREQUAL cli_entry)
        set(why "only ${cli_entry} may use cli (${resolved})")
      elseif(layer STREQUAL "plugin" AND target STREQUAL "plugin_host" AND NOT in_tests
             AND NOT resolved STREQUAL public_plugin_header)
        set(why "a plugin reaches the host through ${public_plugin_header} only")
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
