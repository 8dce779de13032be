// Named numbers of korvane's commands and strings. A command's id is also the id of its string
// ("status prompt\ntool tip") in the string table; every other text has an IDS_ name. Code uses
// these names, never bare numbers. Ranges and how to add an entry: resources/README.md.
//
// Every constant here has an entry in strings/korvane.1033.txt and every entry there has a
// constant, except the lines marked "no string" (resources/tests/tables_test.cpp checks both).
// Keep one constant per line in the form `inline constexpr int NAME = number;`.
#pragma once

// ---- Commands (menus, bars, accelerators) --------------------------------------------------
// File
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_MRU_FIRST = 57616;  // up to nine recent files: 57616 .. 57624
inline constexpr int ID_FILE_MRU_LAST = 57624;
inline constexpr int ID_APP_EXIT = 57665;
// Edit
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_CLEAR = 57632;
inline constexpr int ID_EDIT_FIND = 57636;
inline constexpr int ID_EDIT_REPLACE = 57641;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;
inline constexpr int ID_SELECT_FONTS = 32811;
// View
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_STRUCTURE = 32794;
inline constexpr int ID_VIEW_GROUP = 32795;
inline constexpr int ID_VIEW_TEXT_CLIP = 32808;
inline constexpr int ID_VIEW_SNAPSHOT = 32813;
inline constexpr int ID_VIEW_WORK_MODE = 32797;
inline constexpr int ID_VIEW_MATCH_BUTTONS = 32798;
inline constexpr int ID_VIEW_MATCH_MODE = 32796;
inline constexpr int ID_VIEW_RESET_BARS = 32791;
inline constexpr int ID_VIEW_SAVE_LAYOUT = 32790;  // no string: developers' command, removed from the menu
// Match
inline constexpr int ID_MATCH_FIND = 32792;
inline constexpr int ID_MATCH_FIND_ALL = 32793;
inline constexpr int ID_MATCH_STEP = 32819;
inline constexpr int ID_MATCH_RESET = 32776;
inline constexpr int ID_MATCH_ONLY_CURRENT_NODE = 32784;
inline constexpr int ID_MATCH_ONLY_START_POINT = 32785;
inline constexpr int ID_MATCH_SET_START_POINT = 32805;
inline constexpr int ID_MATCH_LOCATE_FAIL_POINT = 32821;
inline constexpr int ID_MATCH_BACKGROUND_RESULT = 32820;  // no string: internal, sent by the background check
inline constexpr int ID_OPTION_IGNORECASE = 32780;
inline constexpr int ID_OPTION_SINGLELINE = 32778;
inline constexpr int ID_OPTION_MULTILINE = 32779;
inline constexpr int ID_OPTION_GLOBAL = 32781;
inline constexpr int ID_OPTION_RIGHTTOLEFT = 32782;
inline constexpr int ID_OPTION_EXTENDED = 32783;
inline constexpr int ID_OPTION_CLASSIC = 32871;
// Mode (work mode = command id minus 32770)
inline constexpr int ID_MODE_MATCH = 32771;
inline constexpr int ID_MODE_REPLACE = 32772;
inline constexpr int ID_MODE_SPLIT = 32773;
inline constexpr int ID_MODE_TRACE = 32774;
inline constexpr int ID_MODE_OPTIMIZE = 32775;
// Help
inline constexpr int ID_HELP_HOMEPAGE = 32801;
inline constexpr int ID_HELP_BUG_REPORT = 32802;
inline constexpr int ID_APP_ABOUT = 57664;
// Tool bar only: record navigation and snapshot
inline constexpr int ID_RECORD_FIRST = 59648;
inline constexpr int ID_RECORD_LAST = 59649;
inline constexpr int ID_RECORD_NEXT = 59650;
inline constexpr int ID_RECORD_PREV = 59651;
inline constexpr int ID_ADD_SNAPSHOT = 32812;
// Context menus
inline constexpr int ID_EDIT_OPEN_TEXT = 32799;
inline constexpr int ID_EDIT_SAVE_CONTENT = 32800;
inline constexpr int ID_CLIP_SET_NAME = 32807;
inline constexpr int ID_SNAPSHOT_SWITCH = 32814;
inline constexpr int ID_SNAPSHOT_SET_NAME = 32817;
inline constexpr int ID_SNAPSHOT_DELETE = 32815;
inline constexpr int ID_SNAPSHOT_DELETE_TREE = 32816;
// Tests menu and the Tests pane's context menu (carried out by the pane wherever the focus is)
inline constexpr int ID_VIEW_TESTS = 32830;
inline constexpr int ID_VIEW_BACKTRACK = 32881;
inline constexpr int ID_TEST_ADD = 32831;
inline constexpr int ID_TEST_DUPLICATE = 32832;
inline constexpr int ID_TEST_RENAME = 32833;
inline constexpr int ID_TEST_DELETE = 32834;
inline constexpr int ID_TEST_MOVE_UP = 32835;
inline constexpr int ID_TEST_MOVE_DOWN = 32836;
inline constexpr int ID_TEST_LOAD = 32837;
inline constexpr int ID_TEST_ACCEPT = 32838;
inline constexpr int ID_TEST_IMPORT_FILE = 32839;
inline constexpr int ID_TEST_IMPORT_CLIPS = 32840;
inline constexpr int ID_TEST_EXPORT_CSV = 32841;
inline constexpr int ID_TEST_RUN_SNAPSHOTS = 32842;
// Pane switching (F6, Shift+F6)
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
// Plugin commands: their prompts come from the plugins, not from this table
inline constexpr int ID_PLUGIN_FIRST = 40000;  // no string
inline constexpr int ID_PLUGIN_LAST = 41000;   // no string

// ---- Document string and application ------------------------------------------------------
inline constexpr int IDS_DOC_TEMPLATE = 128;  // seven fields, see CStringTable::GetField
inline constexpr int DOC_FIELD_WINDOW_TITLE = 0;      // no string: field index in IDS_DOC_TEMPLATE
inline constexpr int DOC_FIELD_FILE_TYPE_NAME = 2;    // no string: field index
inline constexpr int DOC_FIELD_FILTER_NAME = 3;       // no string: field index
inline constexpr int DOC_FIELD_EXTENSION = 4;         // no string: field index
inline constexpr int DOC_FIELD_SHELL_TYPE_ID = 5;     // no string: field index
inline constexpr int DOC_FIELD_SHELL_TYPE_NAME = 6;   // no string: field index
inline constexpr int IDS_APP_NAME = 291;
inline constexpr int IDS_READY = 57345;

// ---- Docking bar titles, column headers ---------------------------------------------------
inline constexpr int IDS_BAR_STRUCTURE = 256;
inline constexpr int IDS_BAR_MESSAGE = 257;
inline constexpr int IDS_BAR_GROUP = 258;
inline constexpr int IDS_BAR_STACK = 259;
inline constexpr int IDS_BAR_TEXT_CLIP = 311;
inline constexpr int IDS_BAR_SNAPSHOT = 327;
inline constexpr int IDS_COL_GROUP = 258;
inline constexpr int IDS_COL_NAMED = 282;
inline constexpr int IDS_COL_CAPTURED_CONTENT = 260;
inline constexpr int IDS_COL_SPLIT_NO = 289;
inline constexpr int IDS_COL_SPLIT_RESULT = 288;
inline constexpr int IDS_COL_TEXT_CLIP = 311;

// ---- Structure tree labels (by element type code) and group list cells ---------------------
inline constexpr int IDS_NOT_CAPTURED = 261;
inline constexpr int IDS_ZERO_LENGTH_STRING = 262;
inline constexpr int IDS_TREE_EMPTY = 263;              // 0, 5, 7 and unknown codes
inline constexpr int IDS_TREE_POSSESSIVE = 264;         // 13
inline constexpr int IDS_TREE_ALTERNATIVE = 265;        // 1
inline constexpr int IDS_TREE_ASSERTION = 266;          // 2
inline constexpr int IDS_TREE_BACKREF = 267;            // 3
inline constexpr int IDS_TREE_BOUNDARY = 268;           // 4
inline constexpr int IDS_TREE_RECURSIVE = 269;          // 6
inline constexpr int IDS_TREE_NONCAPTURE_GROUP = 270;   // 19
inline constexpr int IDS_TREE_MODE_MODIFIER = 271;      // 21
inline constexpr int IDS_TREE_FIXED_REPEAT = 272;       // 16
inline constexpr int IDS_TREE_STRING = 273;             // 17
inline constexpr int IDS_TREE_LAST_MATCH = 274;         // 8
inline constexpr int IDS_TREE_GREEDY = 275;             // 9
inline constexpr int IDS_TREE_INDEPENDENT = 276;        // 10
inline constexpr int IDS_TREE_POSIX = 277;              // 12
inline constexpr int IDS_TREE_CHARSET = 278;            // 14
inline constexpr int IDS_TREE_RELUCTANT = 279;          // 15
inline constexpr int IDS_TREE_CAPTURE_GROUP = 280;      // 20, "%d" group number
inline constexpr int IDS_TREE_LIST = 281;               // 11
inline constexpr int IDS_TREE_CONDITIONAL = 283;        // 18
inline constexpr int IDS_TREE_NAMED_GROUP = 284;        // 20 named, "%s" name
inline constexpr int IDS_TREE_BALANCING_GROUP = 342;    // 20 balancing
inline constexpr int IDS_TREE_NAMED_BALANCING = 343;    // 20 named balancing, "%s" name

// ---- File dialog filters ("description|patterns|...||", see CStringTable::ToQtFilters) -----
inline constexpr int IDS_FILTER_OPEN_TEXT = 293;        // Open in every text box
inline constexpr int IDS_FILTER_SAVE_PATTERN = 294;     // Save As of the pattern and replace-to boxes
inline constexpr int IDS_FILTER_SAVE_REPLACE_RESULT = 295;
inline constexpr int IDS_FILTER_SAVE_SPLIT_RESULT = 296;
inline constexpr int IDS_FILTER_SAVE_TEXT = 2800;       // Save As of the subject text box
inline constexpr int IDS_FILTER_WORKSPACE = 2801;       // File Open and Save As

// ---- Clip list, status bar, placeholders ---------------------------------------------------
inline constexpr int IDS_CLIP_DROP_HERE = 312;
inline constexpr int IDS_MSG_DELETE_CLIP = 313;
inline constexpr int IDS_ELAPSED_TIME = 314;            // "%1.7f" seconds
inline constexpr int IDS_RESULT_POSITION = 322;         // "%d of %d"
inline constexpr int IDS_PLACEHOLDER_PATTERN = 323;
inline constexpr int IDS_PLACEHOLDER_TEXT = 324;
inline constexpr int IDS_PLACEHOLDER_REPLACE_TO = 325;
inline constexpr int IDS_PLACEHOLDER_REPLACE_RESULT = 326;

// ---- 2000-2099: menu bar and submenu captions ----------------------------------------------
inline constexpr int IDS_MENU_FILE = 2000;
inline constexpr int IDS_MENU_EDIT = 2001;
inline constexpr int IDS_MENU_VIEW = 2002;
inline constexpr int IDS_MENU_MATCH = 2003;
inline constexpr int IDS_MENU_MODE = 2004;
inline constexpr int IDS_MENU_TOOLS = 2005;
inline constexpr int IDS_MENU_HELP = 2006;
inline constexpr int IDS_MENU_TESTS = 2007;
inline constexpr int IDS_MENU_RECENT_FILE = 2010;       // shown greyed while the list is empty
inline constexpr int IDS_MENU_TOOLS_IMPORT_CLIPBOARD = 2020;
inline constexpr int IDS_MENU_TOOLS_IMPORT_SELECTED = 2021;
inline constexpr int IDS_MENU_TOOLS_EXPORT_CLIPBOARD = 2022;
inline constexpr int IDS_MENU_TOOLS_EXPORT_CODE = 2023;
inline constexpr int IDS_MENU_TOOLS_OPTIMIZE = 2024;
inline constexpr int IDS_MENU_CTX_IMPORT = 2030;
inline constexpr int IDS_MENU_CTX_EXPORT = 2031;
inline constexpr int IDS_MENU_CTX_OPTIMIZE = 2032;

// ---- 2100-2299: menu item captions ("&" mnemonic, "\t" shortcut text) ----------------------
inline constexpr int IDS_MENU_FILE_NEW = 2100;
inline constexpr int IDS_MENU_FILE_OPEN = 2101;
inline constexpr int IDS_MENU_FILE_SAVE = 2102;
inline constexpr int IDS_MENU_FILE_SAVE_AS = 2103;
inline constexpr int IDS_MENU_FILE_EXIT = 2104;
inline constexpr int IDS_MENU_EDIT_UNDO = 2110;
inline constexpr int IDS_MENU_EDIT_REDO = 2111;
inline constexpr int IDS_MENU_EDIT_CUT = 2112;
inline constexpr int IDS_MENU_EDIT_COPY = 2113;
inline constexpr int IDS_MENU_EDIT_PASTE = 2114;
inline constexpr int IDS_MENU_EDIT_DELETE = 2115;
inline constexpr int IDS_MENU_EDIT_FIND = 2116;
inline constexpr int IDS_MENU_EDIT_REPLACE = 2117;
inline constexpr int IDS_MENU_EDIT_SELECT_ALL = 2118;
inline constexpr int IDS_MENU_EDIT_FONT = 2119;
inline constexpr int IDS_MENU_VIEW_TOOLBAR = 2130;
inline constexpr int IDS_MENU_VIEW_STATUS_BAR = 2131;
inline constexpr int IDS_MENU_VIEW_STRUCTURE = 2132;
inline constexpr int IDS_MENU_VIEW_GROUP = 2133;
inline constexpr int IDS_MENU_VIEW_TEXT_CLIP = 2134;
inline constexpr int IDS_MENU_VIEW_SNAPSHOT = 2135;
inline constexpr int IDS_MENU_VIEW_WORK_MODE = 2136;
inline constexpr int IDS_MENU_VIEW_MATCH_BUTTONS = 2137;
inline constexpr int IDS_MENU_VIEW_MATCH_MODE = 2138;
inline constexpr int IDS_MENU_VIEW_RESET_BARS = 2139;
inline constexpr int IDS_MENU_VIEW_TESTS = 2140;
inline constexpr int IDS_MENU_MATCH_FIND = 2150;
inline constexpr int IDS_MENU_MATCH_CONTINUE = 2151;    // the Find item while a search is running or paused
inline constexpr int IDS_MENU_MATCH_FIND_ALL = 2152;
inline constexpr int IDS_MENU_MATCH_STEP = 2153;
inline constexpr int IDS_MENU_MATCH_RESET = 2154;
inline constexpr int IDS_MENU_MATCH_ONLY_CURRENT_NODE = 2155;
inline constexpr int IDS_MENU_MATCH_ONLY_START_POINT = 2156;
inline constexpr int IDS_MENU_MATCH_SET_START_POINT = 2157;
inline constexpr int IDS_MENU_MATCH_LOCATE_FAIL_POINT = 2158;
inline constexpr int IDS_MENU_OPTION_IGNORECASE = 2159;
inline constexpr int IDS_MENU_OPTION_SINGLELINE = 2160;
inline constexpr int IDS_MENU_OPTION_MULTILINE = 2161;
inline constexpr int IDS_MENU_OPTION_GLOBAL = 2162;
inline constexpr int IDS_MENU_OPTION_RIGHTTOLEFT = 2163;
inline constexpr int IDS_MENU_OPTION_EXTENDED = 2164;
inline constexpr int IDS_MENU_OPTION_CLASSIC = 2167;
inline constexpr int IDS_MENU_MODE_MATCH = 2170;
inline constexpr int IDS_MENU_MODE_REPLACE = 2171;
inline constexpr int IDS_MENU_MODE_SPLIT = 2172;
inline constexpr int IDS_MENU_MODE_OPTIMIZE = 2173;
inline constexpr int IDS_MENU_MODE_TRACE = 2174;
inline constexpr int IDS_MENU_HELP_HOMEPAGE = 2180;
inline constexpr int IDS_MENU_HELP_BUG_REPORT = 2181;
inline constexpr int IDS_MENU_HELP_ABOUT = 2182;
inline constexpr int IDS_MENU_CTX_OPEN = 2190;          // 32799 in the editors' menus
inline constexpr int IDS_MENU_CTX_SAVE_AS = 2191;       // 32800 in the editors' and list menus
inline constexpr int IDS_MENU_CTX_FIND = 2192;
inline constexpr int IDS_MENU_CTX_REPLACE = 2193;
inline constexpr int IDS_MENU_CLIP_SET_NAME = 2194;
inline constexpr int IDS_MENU_SNAPSHOT_ADD = 2195;
inline constexpr int IDS_MENU_SNAPSHOT_SWITCH = 2196;
inline constexpr int IDS_MENU_SNAPSHOT_SET_NAME = 2197;
inline constexpr int IDS_MENU_SNAPSHOT_DELETE = 2198;
inline constexpr int IDS_MENU_SNAPSHOT_DELETE_TREE = 2199;
inline constexpr int IDS_MENU_TEST_ADD = 2200;
inline constexpr int IDS_MENU_TEST_DUPLICATE = 2201;
inline constexpr int IDS_MENU_TEST_RENAME = 2202;
inline constexpr int IDS_MENU_TEST_DELETE = 2203;
inline constexpr int IDS_MENU_TEST_MOVE_UP = 2204;
inline constexpr int IDS_MENU_TEST_MOVE_DOWN = 2205;
inline constexpr int IDS_MENU_TEST_LOAD = 2206;
inline constexpr int IDS_MENU_TEST_ACCEPT = 2207;
inline constexpr int IDS_MENU_TEST_IMPORT_FILE = 2208;
inline constexpr int IDS_MENU_TEST_IMPORT_CLIPS = 2209;
inline constexpr int IDS_MENU_TEST_EXPORT_CSV = 2210;
inline constexpr int IDS_MENU_TEST_RUN_SNAPSHOTS = 2211;

// ---- 2300-2399: bar titles, buttons and check boxes of the bars ----------------------------
inline constexpr int IDS_BAR_TOOLBAR = 2300;
inline constexpr int IDS_BAR_MATCH_MODE = 2301;
inline constexpr int IDS_BAR_MATCH_BUTTONS = 2302;
inline constexpr int IDS_BAR_WORK_MODE = 2303;
inline constexpr int IDS_BTN_MATCH = 2310;
inline constexpr int IDS_BTN_MATCH_ALL = 2311;
inline constexpr int IDS_BTN_RESET = 2312;
inline constexpr int IDS_BTN_FIND = 2313;
inline constexpr int IDS_BTN_CONTINUE = 2314;
inline constexpr int IDS_CHK_ONLY_CURRENT_NODE = 2315;
inline constexpr int IDS_CHK_ONLY_START_POINT = 2316;
inline constexpr int IDS_CHK_IGNORECASE = 2320;
inline constexpr int IDS_CHK_SINGLELINE = 2321;
inline constexpr int IDS_CHK_MULTILINE = 2322;
inline constexpr int IDS_CHK_GLOBAL = 2323;
inline constexpr int IDS_CHK_RIGHTTOLEFT = 2324;
inline constexpr int IDS_CHK_EXTENDED = 2325;
inline constexpr int IDS_CHK_CLASSIC = 2329;
inline constexpr int IDS_MODE_BTN_MATCH = 2330;
inline constexpr int IDS_MODE_BTN_REPLACE = 2331;
inline constexpr int IDS_MODE_BTN_SPLIT = 2332;
inline constexpr int IDS_MODE_BTN_OPTIMIZE = 2333;
inline constexpr int IDS_MODE_BTN_TRACE = 2334;

// ---- 2400-2599: dialogs --------------------------------------------------------------------
inline constexpr int IDS_DLG_WAIT_CAPTION = 2400;
inline constexpr int IDS_DLG_WAIT_COUNT = 2401;
inline constexpr int IDS_DLG_WAIT_BREAK = 2402;
inline constexpr int IDS_DLG_NAME_CAPTION = 2410;
inline constexpr int IDS_DLG_NAME_LABEL = 2411;
inline constexpr int IDS_DLG_FONTS_CAPTION = 2420;
inline constexpr int IDS_DLG_FONTS_REGEX = 2421;
inline constexpr int IDS_DLG_FONTS_TEXT = 2422;
inline constexpr int IDS_DLG_FONTS_REPLACE_TO = 2423;
inline constexpr int IDS_DLG_FONTS_RESULT = 2424;
inline constexpr int IDS_DLG_FONTS_SELECT = 2425;
inline constexpr int IDS_DLG_FONTS_SAME_FONT = 2426;
inline constexpr int IDS_DLG_FONTS_RESTORE_DEFAULT = 2427;
inline constexpr int IDS_BTN_OK = 2440;
inline constexpr int IDS_BTN_CANCEL = 2441;
inline constexpr int IDS_DLG_FIND_CAPTION = 2460;
inline constexpr int IDS_DLG_REPLACE_CAPTION = 2461;
inline constexpr int IDS_DLG_FIND_WHAT = 2462;
inline constexpr int IDS_DLG_REPLACE_WITH = 2463;
inline constexpr int IDS_DLG_FIND_WHOLE_WORD = 2464;
inline constexpr int IDS_DLG_FIND_MATCH_CASE = 2465;
inline constexpr int IDS_DLG_FIND_DIRECTION = 2466;
inline constexpr int IDS_DLG_FIND_UP = 2467;
inline constexpr int IDS_DLG_FIND_DOWN = 2468;
inline constexpr int IDS_DLG_FIND_NEXT = 2469;
inline constexpr int IDS_DLG_FIND_REPLACE = 2470;
inline constexpr int IDS_DLG_FIND_REPLACE_ALL = 2471;
inline constexpr int IDS_DLG_FIND_NOT_FOUND = 2472;     // "%s" search text
inline constexpr int IDS_DLG_ABOUT_CAPTION = 2480;
inline constexpr int IDS_DLG_ABOUT_VERSION = 2481;      // "%s" version
inline constexpr int IDS_DLG_ABOUT_DESCRIPTION = 2482;

// ---- 2600-2699: message boxes --------------------------------------------------------------
inline constexpr int IDS_MSG_CAPTION_INFORMATION = 2600;
inline constexpr int IDS_MSG_NO_MATCH_FOUND = 2601;
inline constexpr int IDS_MSG_FIND_FINISHED = 2602;
inline constexpr int IDS_MSG_NO_MATCH_FOUND_TIME = 2603;     // "%1.7f" seconds
inline constexpr int IDS_MSG_FIND_ALL_FINISHED = 2604;       // "%1.7f" seconds
inline constexpr int IDS_MSG_FIND_ALL_ABORTED = 2605;        // "%1.7f" seconds
inline constexpr int IDS_MSG_STACK_OVERFLOW = 2606;
inline constexpr int IDS_MSG_SNAPSHOT_REGEX_LOST = 2610;     // Yes, No, Cancel
inline constexpr int IDS_MSG_DELETE_SNAPSHOT = 2611;         // OK, Cancel
inline constexpr int IDS_MSG_DELETE_SNAPSHOT_TREE = 2612;    // OK, Cancel
inline constexpr int IDS_MSG_ASK_TO_SAVE = 2620;             // "%s" document name
inline constexpr int IDS_MSG_OPEN_FAILED = 2621;
inline constexpr int IDS_MSG_BAD_FILE_FORMAT = 2622;
inline constexpr int IDS_MSG_SAVE_FAILED = 2623;
inline constexpr int IDS_MSG_PLUGIN_FAULT = 2624;            // "%s" menu text, "%s" library file
inline constexpr int IDS_MSG_PLUGIN_LOAD_FAULT = 2625;       // "%s" library file
inline constexpr int IDS_MSG_WRITE_FAILED = 2630;            // "%s" file, "%s" system's reason
inline constexpr int IDS_MSG_CLIPS_SAVE_FAILED = 2631;       // "%s" file, "%s" system's reason
inline constexpr int IDS_MSG_CLIPS_KEPT_ELSEWHERE = 2632;    // "%s" file, "%s" reason, "%s" file used instead
inline constexpr int IDS_MSG_CLIPS_KEPT_IN_MEMORY = 2633;    // "%s" file, "%s" reason
inline constexpr int IDS_REASON_FILE_TOO_LARGE = 2634;       // "%s" limit in MB
inline constexpr int IDS_REASON_NOT_UTF16 = 2635;
inline constexpr int IDS_MSG_CLIPS_UNSAVED_AT_CLOSE = 2636;  // "%s" file; OK, Cancel
inline constexpr int IDS_MSG_CLIPS_IN_MEMORY_AT_CLOSE = 2637;  // OK, Cancel

// ---- 2670-2689: fonts of the text boxes ------------------------------------------------------
inline constexpr int IDS_FMT_FONT_STAND_IN = 2670;           // "%s" family drawn, "%s" saved family (missing)

// ---- 2700-2799: formats of tree, list and status texts -------------------------------------
inline constexpr int IDS_FMT_TREE_COUNT = 2700;              // "%s [%d]" caption, execution count
inline constexpr int IDS_FMT_GROUP_WHOLE = 2701;             // "$0"
inline constexpr int IDS_FMT_GROUP_NUMBER = 2702;            // "$%d"
inline constexpr int IDS_FMT_SNAPSHOT_ELLIPSIS = 2703;       // appended to a cut snapshot caption
inline constexpr int IDS_FMT_SNAPSHOT_DEFAULT_NAME = 2704;   // strftime format of the local time
inline constexpr int IDS_CLIP_DEFAULT_CAPTION = 2710;

// ---- 2800-2899: file dialogs and window titles (filters are above) -------------------------
inline constexpr int IDS_UNTITLED = 2802;
inline constexpr int IDS_FMT_FRAME_TITLE = 2803;             // "%s - %s" document, application

// ---- 2900-2949: result views (trace stack list, split list, clip list, snapshot tree) ------
inline constexpr int IDS_COL_STACK_ELEMENT = 2900;
inline constexpr int IDS_COL_STACK_START = 2901;
inline constexpr int IDS_COL_STACK_ENTRY = 2902;
inline constexpr int IDS_COL_STACK_RETRY = 2903;
inline constexpr int IDS_STACK_RETRY_YES = 2904;

// ---- 3100-3199: the Tests pane, its editor and its dialogs ----------------------------------
inline constexpr int IDS_BAR_TESTS = 3100;
inline constexpr int IDS_COL_TEST_MARK = 3101;
inline constexpr int IDS_COL_TEST_NAME = 3102;
inline constexpr int IDS_COL_TEST_REASON = 3103;
inline constexpr int IDS_MARK_PASSED = 3104;            // mark tool tips and the snapshot table's cells
inline constexpr int IDS_MARK_FAILED = 3105;
inline constexpr int IDS_MARK_TIMED_OUT = 3106;
inline constexpr int IDS_MARK_ERROR = 3107;
inline constexpr int IDS_MARK_NOT_RUN = 3108;
inline constexpr int IDS_TEST_EDIT_SUBJECT = 3111;
inline constexpr int IDS_TEST_EDIT_OWN_OPTIONS = 3112;
inline constexpr int IDS_TEST_EDIT_EXPECT = 3113;
inline constexpr int IDS_TEST_EDIT_WITH_GROUPS = 3114;
inline constexpr int IDS_TEST_EDIT_EXPECTED_TEXT = 3115;
inline constexpr int IDS_TEST_KIND_MATCHES = 3116;
inline constexpr int IDS_TEST_KIND_NO_MATCH = 3117;
inline constexpr int IDS_TEST_KIND_WHOLE = 3118;
inline constexpr int IDS_TEST_KIND_MATCH_LIST = 3119;
inline constexpr int IDS_TEST_KIND_REPLACED = 3120;
inline constexpr int IDS_TEST_KIND_SPLIT = 3121;
inline constexpr int IDS_TEST_EDIT_NONE = 3122;         // the editor with no test selected
inline constexpr int IDS_TEST_EDIT_EXPECTED_MATCHES = 3123;
inline constexpr int IDS_TEST_EDIT_EXPECTED_REPLACED = 3124;
inline constexpr int IDS_TEST_EDIT_EXPECTED_PIECES = 3125;
inline constexpr int IDS_MSG_DELETE_TEST = 3130;        // "%s" test name; OK, Cancel
inline constexpr int IDS_MSG_IMPORT_LINES = 3131;       // Yes, No, Cancel
inline constexpr int IDS_MSG_IMPORT_NOTHING = 3132;
inline constexpr int IDS_MSG_IMPORT_FAILED = 3133;      // "%s" file, "%s" reason
inline constexpr int IDS_FILTER_IMPORT_TESTS = 3140;
inline constexpr int IDS_FILTER_EXPORT_TESTS = 3141;
inline constexpr int IDS_DLG_SNAPSHOT_TESTS_CAPTION = 3150;
inline constexpr int IDS_DLG_SNAPSHOT_TESTS_NONE = 3151;
inline constexpr int IDS_COL_SNAPSHOT_CURRENT = 3152;   // the row of the pattern being edited

// ---- 3300-3349: test cases: results, reasons, the command-line runner, import and export ----
inline constexpr int IDS_TEST_STATUS = 3300;                 // "%s" passed, "%s" failed
inline constexpr int IDS_TEST_EXPECTED_MATCH = 3301;
inline constexpr int IDS_TEST_EXPECTED_NO_MATCH = 3302;      // "%s" span of the match found
inline constexpr int IDS_TEST_EXPECTED_WHOLE = 3303;
inline constexpr int IDS_TEST_COUNT_DIFFERS = 3304;          // "%s" expected, "%s" got, "%s" detail
inline constexpr int IDS_TEST_MATCH_DIFFERS = 3305;          // "%s" ordinal, "%s" span got, "%s" span expected
inline constexpr int IDS_TEST_MATCH_EXTRA = 3306;            // "%s" ordinal, "%s" span
inline constexpr int IDS_TEST_MATCH_MISSING = 3307;          // "%s" ordinal, "%s" span
inline constexpr int IDS_TEST_GROUP_DIFFERS = 3308;          // "%s" ordinal, "%s" group, "%s" got, "%s" expected
inline constexpr int IDS_TEST_REPLACED_DIFFERS = 3309;       // "%s" position, "%s" got, "%s" expected
inline constexpr int IDS_TEST_PIECE_COUNT = 3310;            // "%s" expected, "%s" got, "%s" detail
inline constexpr int IDS_TEST_PIECE_DIFFERS = 3311;          // "%s" ordinal, "%s" got, "%s" expected
inline constexpr int IDS_TEST_PIECE_EXTRA = 3312;            // "%s" ordinal, "%s" piece
inline constexpr int IDS_TEST_PIECE_MISSING = 3313;          // "%s" ordinal, "%s" piece
inline constexpr int IDS_TEST_TIMED_OUT = 3314;              // "%s" limit in ms, "%s" steps
inline constexpr int IDS_TEST_NESTING = 3315;
inline constexpr int IDS_TEST_NO_MEMORY = 3316;
inline constexpr int IDS_TEST_ORDINALS = 3317;               // fields: first, second, ... tenth
inline constexpr int IDS_TEST_ORDINAL_N = 3318;              // "%s" number from 11 on
inline constexpr int IDS_TEST_BAD_EXPECTATION = 3319;
inline constexpr int IDS_TEST_NEW_NAME = 3320;               // "%s" number of the test
inline constexpr int IDS_TEST_STATUS_WORDS = 3321;           // fields: not run, pass, fail, timed out, error
inline constexpr int IDS_TEST_EXPECTATION_WORDS = 3322;      // fields: the expectation kinds in order
inline constexpr int IDS_TEST_CSV_HEADER = 3323;             // fields: the CSV columns
inline constexpr int IDS_CLI_SUMMARY = 3324;                 // "%s" passed, "%s" failed
inline constexpr int IDS_CLI_CANNOT_READ = 3325;             // "%s" file, "%s" reason
inline constexpr int IDS_CLI_NOT_WORKSPACE = 3326;           // "%s" file
inline constexpr int IDS_CLI_NO_SNAPSHOT = 3327;             // "%s" name, "%s" file
inline constexpr int IDS_CLI_JUNIT_FAILED = 3328;            // "%s" file, "%s" reason
inline constexpr int IDS_CLI_USAGE = 3329;
inline constexpr int IDS_CLI_BAD_ARGUMENTS = 3330;           // "%s" the argument
inline constexpr int IDS_CLI_NO_TESTS = 3331;
inline constexpr int IDS_REASON_NO_SUCH_FILE = 3332;

// ---- 3400-3449: the Backtracking pane ------------------------------------------------------
inline constexpr int IDS_MENU_VIEW_BACKTRACK = 3400;
inline constexpr int IDS_BAR_BACKTRACK = 3401;
inline constexpr int IDS_BT_ANALYSING = 3402;
inline constexpr int IDS_BT_LINEAR = 3403;
inline constexpr int IDS_BT_POLYNOMIAL = 3404;    // "%s" the degree
inline constexpr int IDS_BT_EXPONENTIAL = 3405;
inline constexpr int IDS_BT_TOO_LARGE = 3406;
inline constexpr int IDS_BT_NOT_CONFIRMED = 3407;
inline constexpr int IDS_BT_REPEATS = 3408;       // "%s" the repeats
inline constexpr int IDS_BT_WITNESS = 3409;       // "%s" prefix, pump, suffix
inline constexpr int IDS_BT_LOAD_WITNESS = 3410;
inline constexpr int IDS_BT_STEPS = 3411;
