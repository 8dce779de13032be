// Named numbers of fennic's strings (the plugin's own tables, strings/fennic.*.txt). Code uses
// these names, never bare numbers. Ranges and how to add an entry: resources/README.md.
//
// Every constant here has an entry in strings/fennic.1033.txt and every entry there has a
// constant (resources/tests/tables_test.cpp checks both). Keep one constant per line in the form
// `inline constexpr int NAME = number;`.
#pragma once

namespace fennic {

// ---- Menu texts; the numbers double as the language codes 1 C++, 2 Visual Basic, 5 Java ----
inline constexpr int IDS_CPP_STRING = 1;
inline constexpr int IDS_VB_STRING = 2;
inline constexpr int IDS_REMOVE_HTML_TAG = 3;
inline constexpr int IDS_CONVERT_HTML_ENTITY = 4;
inline constexpr int IDS_JAVA_STRING = 5;

// ---- Command descriptions (status prompts) -------------------------------------------------
inline constexpr int IDS_CPP_IMPORT_CLIPBOARD_DESC = 257;
inline constexpr int IDS_CPP_EXPORT_CLIPBOARD_DESC = 258;
inline constexpr int IDS_VB_IMPORT_CLIPBOARD_DESC = 259;
inline constexpr int IDS_VB_EXPORT_CLIPBOARD_DESC = 260;
inline constexpr int IDS_CPP_IMPORT_SELECTED_DESC = 261;
inline constexpr int IDS_VB_IMPORT_SELECTED_DESC = 262;
inline constexpr int IDS_CPP_CREATE_CODE_DESC = 263;
inline constexpr int IDS_VB_CREATE_CODE_DESC = 264;
inline constexpr int IDS_REMOVE_HTML_TAG_DESC = 266;
inline constexpr int IDS_CONVERT_HTML_ENTITY_DESC = 267;
inline constexpr int IDS_JAVA_IMPORT_CLIPBOARD_DESC = 268;
inline constexpr int IDS_JAVA_EXPORT_CLIPBOARD_DESC = 269;
inline constexpr int IDS_JAVA_IMPORT_SELECTED_DESC = 270;
inline constexpr int IDS_JAVA_CREATE_CODE_DESC = 271;

// ---- Optimize commands ("submenu::caption") and their descriptions -------------------------
inline constexpr int IDS_ALTERNATIVE_OF_STRINGS = 513;
inline constexpr int IDS_ALTERNATIVE_OF_STRINGS_DESC = 514;
inline constexpr int IDS_TO_NONCAPTURE_GROUP = 515;
inline constexpr int IDS_TO_NONCAPTURE_GROUP_DESC = 516;
inline constexpr int IDS_TO_CAPTURE_GROUP = 517;
inline constexpr int IDS_TO_CAPTURE_GROUP_DESC = 518;

// ---- Create Code window --------------------------------------------------------------------
inline constexpr int IDS_FILTER_SAVE_CODE = 265;             // "description|patterns|...||"
inline constexpr int IDS_OP_DECLARE = 600;
inline constexpr int IDS_OP_MATCH_EXACT = 601;
inline constexpr int IDS_OP_FIND = 602;
inline constexpr int IDS_OP_REPLACE = 603;
inline constexpr int IDS_OP_SPLIT = 604;
inline constexpr int IDS_OP_COUNT = 605;
inline constexpr int IDS_LIB_TARNO = 1000;
inline constexpr int IDS_LIB_GRETA = 1001;
inline constexpr int IDS_LIB_REGEXP_OBJECT = 1002;
inline constexpr int IDS_LIB_JAVA_UTIL_REGEX = 1003;

// ---- Code templates: %regex%, %text%, %replaceto%, %flags% ---------------------------------
inline constexpr int IDS_TPL_CPP_DECLARE = 1100;             // also GRETA's declare row
inline constexpr int IDS_TPL_TARNO_MATCH_EXACT = 1101;
inline constexpr int IDS_TPL_TARNO_FIND = 1102;
inline constexpr int IDS_TPL_TARNO_REPLACE = 1103;
inline constexpr int IDS_TPL_GRETA_FIND = 1201;
inline constexpr int IDS_TPL_GRETA_REPLACE = 1202;
inline constexpr int IDS_TPL_GRETA_SPLIT = 1203;
inline constexpr int IDS_TPL_GRETA_COUNT = 1204;
inline constexpr int IDS_TPL_VB_DECLARE = 1300;
inline constexpr int IDS_TPL_VB_MATCH_EXACT = 1301;
inline constexpr int IDS_TPL_VB_FIND = 1302;
inline constexpr int IDS_TPL_VB_REPLACE = 1303;
inline constexpr int IDS_TPL_JAVA_DECLARE = 1500;
inline constexpr int IDS_TPL_JAVA_MATCH_EXACT = 1501;
inline constexpr int IDS_TPL_JAVA_FIND = 1502;
inline constexpr int IDS_TPL_JAVA_REPLACE = 1503;
inline constexpr int IDS_TPL_JAVA_SPLIT = 1504;

// ---- 3000-3099: texts of commands that no entry-map row uses --------------------------------
inline constexpr int IDS_PHP_SINGLE_QUOTES_STRING = 3000;
inline constexpr int IDS_PHP_DOUBLE_QUOTES_STRING = 3001;
inline constexpr int IDS_PHP_IMPORT_CLIPBOARD_DESC = 3002;
inline constexpr int IDS_PHP_IMPORT_SELECTED_DESC = 3003;
inline constexpr int IDS_PHP_EXPORT_CLIPBOARD_DESC = 3004;

// ---- 3100-3199: Create Code window ---------------------------------------------------------
inline constexpr int IDS_DLG_CODE_CAPTION = 3100;
inline constexpr int IDS_DLG_CODE_ENGINE = 3101;
inline constexpr int IDS_DLG_CODE_FUNCTION = 3102;
inline constexpr int IDS_DLG_CODE_FONT = 3103;
inline constexpr int IDS_DLG_CODE_COPY_ALL = 3104;
inline constexpr int IDS_DLG_CODE_SAVE_AS = 3105;
inline constexpr int IDS_DLG_CODE_CLOSE = 3106;

// ---- 3200-3299: context menu of the code view ----------------------------------------------
inline constexpr int IDS_MENU_CODE_COPY_ALL = 3200;
inline constexpr int IDS_MENU_CODE_SAVE_AS = 3201;
inline constexpr int IDS_MENU_CODE_CUT = 3202;
inline constexpr int IDS_MENU_CODE_COPY = 3203;
inline constexpr int IDS_MENU_CODE_SELECT_ALL = 3204;

}  // namespace fennic
