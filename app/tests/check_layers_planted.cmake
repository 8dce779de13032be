# The layer check on a small tree of its own: clean, it passes; with each kind of wrong include
# planted in turn (a full path, a short path the app/ include folder resolves, angle brackets,
# `../`, a fuzz harness and an engine bench reaching too far, Qt in the engine, the command line
# used from the user interface outside main.cpp or from a layer below it, the command line
# reaching up into the user interface or the plugin host, a feature folder of the document
# reaching up to a folder above it or to the document itself, a source of the document outside
# its feature folders, the flavours reaching up into the document, the command line or the user
# interface, a folder of the user interface reaching up (a view into the frame or a pane, the
# editor into the results, the shared headers into a view), a pane into another pane, a source of
# the user interface outside its folders), it fails and names the planted file.
# Run as
#   cmake -DCHECK=<check_layers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_planted.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT CHECK OR NOT WORK_DIR)
  message(FATAL_ERROR "CHECK and WORK_DIR must be set")
endif()

set(tree "${WORK_DIR}/layers_tree")
file(REMOVE_RECURSE "${tree}")
# The clean tree: one file per layer, each including what it may.
file(WRITE "${tree}/engine/tarno.h" "#include <vector>\n#include \"tarno/config.h\"\n")
file(WRITE "${tree}/engine/tarno/config.h" "#include <cstdint>\n")
file(WRITE "${tree}/resources/stringtable.h" "#include <QString>\n")
file(WRITE "${tree}/app/platform/profile.h" "#include <QSettings>\n")
file(WRITE "${tree}/app/document/core/korvane_doc.h"
     "#include \"platform/profile.h\"\n#include \"stringtable.h\"\n#include \"tarno.h\"\n#include <QObject>\n"
     "#include \"app/document/matching/match_record.h\"\n")
file(WRITE "${tree}/app/document/core/korvane_doc.cpp" "#include \"korvane_doc.h\"\n#include \"../../platform/profile.h\"\n")
file(WRITE "${tree}/app/document/pattern/element_records.h" "#include \"tarno.h\"\n")
file(WRITE "${tree}/app/document/matching/match_record.h"
     "#include \"app/document/pattern/element_records.h\"\n#include \"../pattern/element_records.h\"\n")
file(WRITE "${tree}/app/document/matching/tests/match_test.cpp" "#include \"app/document/core/korvane_doc.h\"\n")
file(WRITE "${tree}/app/ui/frame/main_frame.h" "#include \"app/document/core/korvane_doc.h\"\n#include <QMainWindow>\n")
# The user interface's folders, each including what it may: a pane its own folder, results,
# editor and shared; the frame a pane; a pane's test another pane.
file(WRITE "${tree}/app/ui/shared/frame_services.h" "#include \"app/document/core/korvane_doc.h\"\n")
file(WRITE "${tree}/app/ui/editor/rich_edit_view.h" "#include \"app/ui/shared/frame_services.h\"\n")
file(WRITE "${tree}/app/ui/results/text_edit_view.h"
     "#include \"app/ui/editor/rich_edit_view.h\"\n#include \"../shared/frame_services.h\"\n")
file(WRITE "${tree}/app/ui/panes/history/trace_history_pane.h" "#include <QWidget>\n")
file(WRITE "${tree}/app/ui/panes/clips/clip_list_view.h"
     "#include \"app/ui/results/text_edit_view.h\"\n#include \"ui/editor/rich_edit_view.h\"\n")
file(WRITE "${tree}/app/ui/panes/clips/clip_list_view.cpp" "#include \"clip_list_view.h\"\n")
file(WRITE "${tree}/app/ui/panes/clips/tests/clip_test.cpp"
     "#include \"app/ui/panes/history/trace_history_pane.h\"\n#include \"app/ui/frame/main_frame.h\"\n")
file(WRITE "${tree}/app/ui/frame/pane_table.cpp"
     "#include \"main_frame.h\"\n#include \"app/ui/panes/clips/clip_list_view.h\"\n#include \"../panes/history/trace_history_pane.h\"\n")
file(WRITE "${tree}/app/cli/test_command.h"
     "#include \"app/document/core/korvane_doc.h\"\n#include \"platform/profile.h\"\n#include <QString>\n")
file(WRITE "${tree}/app/cli/test_command.cpp" "#include \"test_command.h\"\n#include \"tarno.h\"\n")
file(WRITE "${tree}/app/ui/main.cpp" "#include \"app/cli/test_command.h\"\n#include \"ui/frame/main_frame.h\"\n")
file(WRITE "${tree}/app/plugin_host/plugin_manager.h" "#include \"app/document/core/korvane_doc.h\"\n")
file(WRITE "${tree}/fuzz/harness.h" "#include \"app/document/core/korvane_doc.h\"\n")
file(WRITE "${tree}/bench/corpus.h" "#include <string>\n")
file(WRITE "${tree}/bench/engine_bench.cpp" "#include \"engine/tarno.h\"\n#include \"bench/corpus.h\"\n")
file(WRITE "${tree}/app/document/core/tests/doc_test.cpp" "#include \"bench/corpus.h\"\n")
file(WRITE "${tree}/app/flavours/flavour_pool.h"
     "#include \"platform/profile.h\"\n#include \"stringtable.h\"\n#include \"tarno.h\"\n#include <QProcess>\n")
file(WRITE "${tree}/app/document/core/doc_flavours.cpp" "#include \"flavours/flavour_pool.h\"\n")
file(WRITE "${tree}/app/cli/flavour_command.cpp" "#include \"app/flavours/flavour_pool.h\"\n")

function(run_check out_result out_output)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${tree} -P "${CHECK}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} "${result}" PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

run_check(result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the clean tree does not pass:\n${output}")
endif()

# Each plant: file, content.
set(plants
  "app/document/core/plant_full.cpp|#include \"app/ui/frame/main_frame.h\""
  "app/document/core/plant_short.cpp|#include \"ui/frame/main_frame.h\""
  "app/document/core/plant_angle.cpp|#include <app/ui/frame/main_frame.h>"
  "app/document/core/plant_dotdot.cpp|#include \"../../ui/frame/main_frame.h\""
  "fuzz/plant_fuzz.cpp|#include \"app/ui/frame/main_frame.h\""
  "bench/plant_bench.cpp|#include \"app/document/core/korvane_doc.h\""
  "engine/plant_qt.h|#include <QString>"
  "app/platform/plant_up.h|#include \"document/core/korvane_doc.h\""
  "app/ui/frame/plant_cli.cpp|#include \"app/cli/test_command.h\""
  "app/ui/results/plant_cli.cpp|#include \"cli/test_command.h\""
  "app/document/core/plant_cli.cpp|#include \"cli/test_command.h\""
  "app/platform/plant_cli.h|#include <app/cli/test_command.h>"
  "engine/plant_cli.h|#include \"app/cli/test_command.h\""
  "app/plugin_host/plant_cli.cpp|#include \"../cli/test_command.h\""
  "app/cli/plant_ui.cpp|#include \"app/ui/frame/main_frame.h\""
  "app/cli/plant_host.cpp|#include \"plugin_host/plugin_manager.h\""
  "app/document/pattern/plant_up.cpp|#include \"app/document/matching/match_record.h\""
  "app/document/matching/plant_core.h|#include \"../core/korvane_doc.h\""
  "app/document/pattern/plant_short.cpp|#include <document/matching/match_record.h>"
  "app/document/stray/plant_stray.cpp|#include <vector>"
  "app/document/plant_flat.h|#include <vector>"
  "app/flavours/plant_doc.cpp|#include \"document/core/korvane_doc.h\""
  "app/flavours/tests/plant_doc.cpp|#include \"app/document/core/korvane_doc.h\""
  "app/flavours/plant_cli.h|#include \"../cli/test_command.h\""
  "app/flavours/plant_ui.cpp|#include <app/ui/frame/main_frame.h>"
  "app/platform/plant_flavours.h|#include \"flavours/flavour_pool.h\""
  "engine/plant_flavours.h|#include \"app/flavours/flavour_pool.h\""
  "app/ui/panes/clips/plant_pane.cpp|#include \"app/ui/panes/history/trace_history_pane.h\""
  "app/ui/panes/history/plant_pane.h|#include \"../clips/clip_list_view.h\""
  "app/ui/editor/plant_frame.cpp|#include \"ui/frame/main_frame.h\""
  "app/ui/results/plant_frame.h|#include \"../frame/main_frame.h\""
  "app/ui/editor/plant_pane.cpp|#include <app/ui/panes/clips/clip_list_view.h>"
  "app/ui/results/plant_pane.cpp|#include \"app/ui/panes/history/trace_history_pane.h\""
  "app/ui/editor/plant_results.cpp|#include \"app/ui/results/text_edit_view.h\""
  "app/ui/shared/plant_view.h|#include \"app/ui/editor/rich_edit_view.h\""
  "app/ui/results/plant_tests.cpp|#include \"app/ui/panes/clips/tests/clip_test.cpp\""
  "app/ui/plant_flat.cpp|#include <vector>"
  "app/ui/panes/plant_flat.h|#include <vector>"
  "app/ui/views/plant_stray.cpp|#include <vector>"
  "app/ui/frame/plant_top.cpp|#include \"../main.cpp\"")
set(failures "")
foreach(plant IN LISTS plants)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 file)
  list(GET parts 1 content)
  file(WRITE "${tree}/${file}" "${content}\n")
  run_check(result output)
  file(REMOVE "${tree}/${file}")
  if(result EQUAL 0 OR NOT output MATCHES "${file}")
    string(APPEND failures "  ${file} (${content}) was not caught\n")
  endif()
endforeach()
# A feature header included by the document's header, which other document sources may include.
file(WRITE "${tree}/app/document/debugger/trace_history.h" "#include <vector>\n")
file(WRITE "${tree}/app/document/core/doc_trace.cpp" "#include \"app/document/debugger/trace_history.h\"\n")
run_check(result output)
if(NOT result EQUAL 0)
  string(APPEND failures "  a core source including a feature header was refused:\n${output}\n")
endif()
file(READ "${tree}/app/document/core/korvane_doc.h" header)
file(APPEND "${tree}/app/document/core/korvane_doc.h" "#include \"../debugger/trace_history.h\"\n")
run_check(result output)
file(WRITE "${tree}/app/document/core/korvane_doc.h" "${header}")
if(result EQUAL 0 OR NOT output MATCHES "korvane_doc.h: ../debugger/trace_history.h")
  string(APPEND failures "  app/document/core/korvane_doc.h (a feature header) was not caught\n")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "the layer check misses:\n${failures}")
endif()
list(LENGTH plants count)
math(EXPR count "${count} + 1")
message(STATUS "the layer check catches all ${count} planted includes")
