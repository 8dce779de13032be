# Runs "korvane --check-backtracking" on patterns of each class and checks the exit code and
# the first line of the output. Needs no display.
#   cmake -DKORVANE=<program> -P check_backtracking_cli.cmake
# Fields separated by "~": name, exit code, first line, pattern, further arguments.
set(cases
  "exp~4~Exponential~(a+)+b"
  "poly~3~Polynomial, degree 2~\\d+\\d+x"
  "poly3~3~Polynomial, degree 3~a*a*a*b"
  "chain3~3~Polynomial, degree 3~a.*b.*c.*d"
  "linear~0~Safe: linear~^[a-z]+\\d+$"
  "atomic~0~Safe: linear~^(?>a+)+$"
  "case~0~Safe: linear~^(A|a)*$"
  "flags~4~Exponential~^(A|a)*$~--flags~i"
  "error~1~Not analysed: the pattern has an error at 1~a)b[")
set(failures 0)
foreach(c IN LISTS cases)
  string(REPLACE "~" ";" parts "${c}")
  list(GET parts 0 name)
  list(GET parts 1 want_code)
  list(GET parts 2 want_text)
  list(GET parts 3 pattern)
  list(LENGTH parts n)
  set(extra "")
  if(n GREATER 4)
    list(SUBLIST parts 4 -1 extra)
  endif()
  execute_process(COMMAND "${KORVANE}" --check-backtracking "${pattern}" ${extra}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  string(FIND "${out}" "\n" nl)
  string(SUBSTRING "${out}" 0 ${nl} first)
  if(NOT code EQUAL want_code OR NOT first STREQUAL want_text)
    message(SEND_ERROR "${name}: /${pattern}/ gave ${code} \"${first}\", want ${want_code} \"${want_text}\"\n${out}${err}")
    math(EXPR failures "${failures} + 1")
  endif()
  if(want_code GREATER 1 AND NOT out MATCHES "witness: prefix \"[^\n]*\", pump \"[^\n]+\" x n")
    message(SEND_ERROR "${name}: no witness in\n${out}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
# Proven fixes: a duplicate branch is dropped; where every standard rewrite changes a match
# (possessive or atomic: "1.5" no longer matches) none is offered as proven.
execute_process(COMMAND "${KORVANE}" --check-backtracking "(a|a)*c" OUTPUT_VARIABLE out TIMEOUT 120)
if(NOT out MATCHES "proven fix \\(drop branch\\): \\(a\\)\\*c  -> Safe: linear, same matches on [0-9]+ texts")
  message(SEND_ERROR "no proven fix for (a|a)*c in\n${out}")
  math(EXPR failures "${failures} + 1")
endif()
execute_process(COMMAND "${KORVANE}" --check-backtracking "^(\\d+|\\d+\\.\\d+)*$" OUTPUT_VARIABLE out TIMEOUT 120)
if(NOT out MATCHES "^Exponential\n" OR NOT out MATCHES "proven fixes: none" OR out MATCHES "proven fix \\(")
  message(SEND_ERROR "a fix that changes matches was offered for ^(\\d+|\\d+\\.\\d+)*$:\n${out}")
  math(EXPR failures "${failures} + 1")
endif()
# Rewrites that change a match are never called proven; they are listed as such, with a text on
# which they do.
foreach(c "(.*,){3}x~(.*+,){3}x" "a.*b.*c.*d~a.*+b.*c.*d")
  string(REPLACE "~" ";" parts "${c}")
  list(GET parts 0 pattern)
  list(GET parts 1 rewrite)
  execute_process(COMMAND "${KORVANE}" --check-backtracking "${pattern}" OUTPUT_VARIABLE out TIMEOUT 120)
  string(FIND "${out}" "rewrite that changes the meaning (possessive): ${rewrite}  -> Safe: linear; on \"" at)
  if(out MATCHES "proven fix \\(" OR NOT out MATCHES "proven fixes: none" OR at LESS 0)
    message(SEND_ERROR "/${pattern}/: a rewrite that changes matches is not told as such:\n${out}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
# Usage errors: exit 2 and the usage on stderr.
foreach(args "--check-backtracking" "--check-backtracking;a+;--flags;q" "--check-backtracking;a;--bogus")
  execute_process(COMMAND "${KORVANE}" ${args} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  if(NOT code EQUAL 2 OR NOT err MATCHES "usage: korvane --check-backtracking")
    message(SEND_ERROR "arguments '${args}' gave ${code}: ${out}${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) failed")
endif()
