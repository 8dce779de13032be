// The sentence of every element kind and every form the compiler reads, in English and
// Simplified Chinese (golden outlines), the readings of malformed input, the walk over all
// element kinds, and the bounds that keep huge patterns cheap.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QString>
#include <string>

#include "app/document/pattern/explanation.h"
#include "app/document/pattern/tests/record_fixture.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

using record_test::Pattern;

// Restores the language the other tests expect.
struct Language {
  explicit Language(int id) { CStringTable::SetCurrent(id); }
  ~Language() { CStringTable::SetCurrent(CStringTable::kEnglish); }
};

std::string Outline(const char* pattern, int flags, int language) {
  Language lang(language);
  Pattern p(pattern, flags);
  CExplanation x;
  x.Build(p.tree, flags);
  return x.OutlineText(1000, 100000).toStdString();
}

struct Row {
  const char* pattern;
  int flags;  // IGNORECASE 8, SINGLELINE 1, MULTILINE 2, GLOBAL 4, RIGHTTOLEFT 16
  const char* english;
  const char* chinese;
};

// Every outline below was checked against what the compiler builds (engine/tarno/compiler.h),
// malformed readings included.
const Row kRows[] = {
      {"", 0, "The pattern is empty: it matches the empty string everywhere.\n",
       "模式为空:在任何位置都匹配空字符串。\n"},
      {R"~(abc*)~", 0,
       R"~(these 2 parts in order
  the literal text `ab`
  zero or more (greedy) of: the literal text `c`
    the literal text `c`
)~",
       R"~(依次匹配以下 2 个部分
  字面文本 `ab`
  零个或多个(贪婪):字面文本 `c`
    字面文本 `c`
)~"},
      {R"~(\x41\u0042\x{43}\n\t)~", 0,
       R"~(the literal text `ABC`, a line feed, a tab (`\x41` is read as `A`; `\u0042` is read as `B`; `\x{43}` is read as `C`; `\n` is read as a line feed; `\t` is read as a tab)
)~",
       R"~(字面文本 `ABC`、换行符、制表符(`\x41` 被读作`A`;`\u0042` 被读作`B`;`\x{43}` 被读作`C`;`\n` 被读作换行符;`\t` 被读作制表符)
)~"},
      {R"~(\a\e\f\r\v)~", 0,
       R"~(the bell character, the escape character, a form feed, a carriage return, a vertical tab (`\a` is read as the bell character; `\e` is read as the escape character; `\f` is read as a form feed; `\r` is read as a carriage return; `\v` is read as a vertical tab)
)~",
       R"~(响铃符、转义符 ESC、换页符、回车符、垂直制表符(`\a` 被读作响铃符;`\e` 被读作转义符 ESC;`\f` 被读作换页符;`\r` 被读作回车符;`\v` 被读作垂直制表符)
)~"},
      {R"~(\xZ)~", 0,
       R"~(the literal text `xZ` (`\x` has no hexadecimal digits: it is read as the letter `x`)
)~",
       R"~(字面文本 `xZ`(`\x` 后面没有十六进制数字:被读作字母 `x`)
)~"},
      {R"~(\q)~", 0,
       R"~(the literal text `q` (`\q` is not a known escape: it is read as the letter `q`)
)~",
       R"~(字面文本 `q`(`\q` 不是已知的转义:被读作字母 `q`)
)~"},
      {R"~(a\)~", 0,
       R"~(the literal text `a\` (a \ at the end of the pattern is read as a literal backslash)
)~",
       R"~(字面文本 `a\`(模式末尾的 \ 被读作字面的反斜杠)
)~"},
      {R"~(\.)~", 0,
       R"~(the literal text `.`
)~",
       R"~(字面文本 `.`
)~"},
      {R"~(abc)~", 8,
       R"~(the literal text `abc`, in any case
)~",
       R"~(字面文本 `abc`(不区分大小写)
)~"},
      {R"~(\Qa.b\E)~", 0,
       R"~(the literal text `a.b` (written in quote mode (\Q…\E): its metacharacters are plain text)
)~",
       R"~(字面文本 `a.b`(以引用模式(\Q…\E)书写:其中的元字符都是普通文本)
)~"},
      {R"~(\La.B\E)~", 0,
       R"~(the literal text `a.b` (written in quote mode with \L: the text is converted to lower case)
)~",
       R"~(字面文本 `a.b`(以 \L 引用模式书写:文本被转换为小写)
)~"},
      {R"~(\Ua.b\E)~", 0,
       R"~(the literal text `A.B` (written in quote mode with \U: the text is converted to upper case)
)~",
       R"~(字面文本 `A.B`(以 \U 引用模式书写:文本被转换为大写)
)~"},
      {R"~(\Qabc)~", 0,
       R"~(the literal text `abc` (written in quote mode (\Q…\E): its metacharacters are plain text; quote mode is not ended by \E: it lasts to the end of the pattern)
)~",
       R"~(字面文本 `abc`(以引用模式(\Q…\E)书写:其中的元字符都是普通文本;引用模式没有以 \E 结束:一直持续到模式末尾)
)~"},
      {R"~(.)~", 0,
       R"~(any character except a line feed
)~",
       R"~(除换行符以外的任意字符
)~"},
      {R"~(.)~", 1,
       R"~(any character
)~",
       R"~(任意字符
)~"},
      {R"~(\d\D\w\W\s\S)~", 0,
       R"~(these 6 parts in order
  a digit
  a character that is not a digit
  a word character (letter, digit or _)
  a character that is not a word character
  a white-space character
  a character that is not white space
)~",
       R"~(依次匹配以下 6 个部分
  一个数字
  一个非数字字符
  一个单词字符(字母、数字或 _)
  一个非单词字符
  一个空白字符
  一个非空白字符
)~"},
      {R"~([a-z_\d])~", 0,
       R"~(one character of: `a` to `z`, `_`, a digit
  a digit
)~",
       R"~(以下字符之一:`a` 到 `z`、`_`、一个数字
  一个数字
)~"},
      {R"~([^a])~", 0,
       R"~(one character not in: `a`
)~",
       R"~(不属于以下内容的一个字符:`a`
)~"},
      {R"~([^])~", 0,
       R"~(any character
)~",
       R"~(任意字符
)~"},
      {R"~([])~", 0,
       R"~(nothing: an empty class never matches
)~",
       R"~(空字符类:永不匹配
)~"},
      {R"~([z-a])~", 0,
       R"~(one character of: `z` to `a` (reversed: matches nothing)
)~",
       R"~(以下字符之一:`z` 到 `a`(范围颠倒:不匹配任何字符)
)~"},
      {R"~([abc)~", 0,
       R"~(one character of: `a`, `b`, `c` (the class has no closing ]: it runs to the end of the pattern)
)~",
       R"~(以下字符之一:`a`、`b`、`c`(字符类没有结束的 ]:一直延续到模式末尾)
)~"},
      {R"~([a-c])~", 8,
       R"~(one character of: `a` to `c`, `A` to `C`
)~",
       R"~(以下字符之一:`a` 到 `c`、`A` 到 `C`
)~"},
      {R"~([\x00-\x1f\xA0])~", 0,
       R"~(one character of: the null character to the character U+001F, the character U+00A0 (`\x00` is read as the null character; `\x1f` is read as the character U+001F; `\xA0` is read as the character U+00A0)
)~",
       R"~(以下字符之一:空字符 NUL 到 字符 U+001F、字符 U+00A0(`\x00` 被读作空字符 NUL;`\x1f` 被读作字符 U+001F;`\xA0` 被读作字符 U+00A0)
)~"},
      {R"~([:alpha:])~", 0,
       R"~(a character of the POSIX class `alpha` (letters)
)~",
       R"~(POSIX 类 `alpha` 中的一个字符(字母)
)~"},
      {R"~([[:^digit:]x])~", 0,
       R"~(one character of: `x`, a character outside the POSIX class `digit` (digits)
  a character outside the POSIX class `digit` (digits)
)~",
       R"~(以下字符之一:`x`、POSIX 类 `digit` 以外的一个字符(数字)
  POSIX 类 `digit` 以外的一个字符(数字)
)~"},
      {R"~([:foo:])~", 0,
       R"~(one character of: `:`, `f`, `o`, `o`, `:` (`[:foo:]` is not a known POSIX class: it is read as an ordinary class)
)~",
       R"~(以下字符之一:`:`、`f`、`o`、`o`、`:`(`[:foo:]` 不是已知的 POSIX 类:被读作普通字符类)
)~"},
      {R"~(^a$)~", 0,
       R"~(these 3 parts in order
  at the start of the text (matches no character)
  the literal text `a`
  at the end of the text (matches no character)
)~",
       R"~(依次匹配以下 3 个部分
  位于文本开头(不匹配任何字符)
  字面文本 `a`
  位于文本末尾(不匹配任何字符)
)~"},
      {R"~(^a$)~", 2,
       R"~(these 3 parts in order
  at the start of a line (matches no character)
  the literal text `a`
  at the end of a line (matches no character)
)~",
       R"~(依次匹配以下 3 个部分
  位于行首(不匹配任何字符)
  字面文本 `a`
  位于行尾(不匹配任何字符)
)~"},
      {R"~(\A\Z\z\b\B)~", 0,
       R"~(these 5 parts in order
  at the start of the text (matches no character)
  at the end of the text or before a final line break (matches no character)
  at the end of the text (matches no character)
  at a word boundary (matches no character)
  not at a word boundary (matches no character)
)~",
       R"~(依次匹配以下 5 个部分
  位于文本开头(不匹配任何字符)
  位于文本末尾或最后的换行之前(不匹配任何字符)
  位于文本末尾(不匹配任何字符)
  位于单词边界(不匹配任何字符)
  不位于单词边界(不匹配任何字符)
)~"},
      {R"~(\G)~", 0,
       R"~(nothing (matches the empty string) (\G without the global option matches at every position)
)~",
       R"~(空(匹配空字符串)(没有全局选项时 \G 在任何位置都匹配)
)~"},
      {R"~(\G)~", 4,
       R"~(at the end of the previous match (\G)
)~",
       R"~(位于上一次匹配的结束处(\G)
)~"},
      {R"~(\d+)~", 0,
       R"~(one or more (greedy) of: a digit
  a digit
)~",
       R"~(一个或多个(贪婪):一个数字
  一个数字
)~"},
      {R"~(a?)~", 0,
       R"~(zero or one (greedy) of: the literal text `a`
  the literal text `a`
)~",
       R"~(零个或一个(贪婪):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a{2,})~", 0,
       R"~(at least 2 (greedy) of: the literal text `a`
  the literal text `a`
)~",
       R"~(至少 2 个(贪婪):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a{0,3})~", 0,
       R"~(at most 3 (greedy) of: the literal text `a`
  the literal text `a`
)~",
       R"~(至多 3 个(贪婪):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a{2,5}?)~", 0,
       R"~(between 2 and 5 (lazy) of: the literal text `a`
  the literal text `a`
)~",
       R"~(2 到 5 个(非贪婪):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a++)~", 0,
       R"~(one or more (possessive: never gives back) of: the literal text `a`
  the literal text `a`
)~",
       R"~(一个或多个(占有:匹配后不回退):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a*?)~", 0,
       R"~(zero or more (lazy) of: the literal text `a`
  the literal text `a`
)~",
       R"~(零个或多个(非贪婪):字面文本 `a`
  字面文本 `a`
)~"},
      {R"~(a{3}?)~", 0,
       R"~(exactly 3 of: the literal text `a` (the `?` after `{3}` has no effect)
  the literal text `a`
)~",
       R"~(恰好 3 个:字面文本 `a`(`{3}` 之后的 `?` 不起作用)
  字面文本 `a`
)~"},
      {R"~(a{5,2})~", 0,
       R"~(exactly 5 of: the literal text `a` (in `{5,2}` the maximum is below the minimum: it is raised to 5)
  the literal text `a`
)~",
       R"~(恰好 5 个:字面文本 `a`(`{5,2}` 中最大值小于最小值:被提高到 5)
  字面文本 `a`
)~"},
      {R"~(a{2)~", 0,
       R"~(exactly 2 of: the literal text `a` (`{2` has no closing }: it runs to the end of the pattern)
  the literal text `a`
)~",
       R"~(恰好 2 个:字面文本 `a`(`{2` 没有结束的 }:一直延续到模式末尾)
  字面文本 `a`
)~"},
      {R"~(a{,5})~", 0,
       R"~(nothing (matches the empty string) (`{,5}` does not start with a number: it is read as at most 0 repetitions, so the whole item matches the empty string)
)~",
       R"~(空(匹配空字符串)(`{,5}` 不以数字开头:被读作最多重复 0 次,因此整个项匹配空字符串)
)~"},
      {R"~(a{0})~", 0,
       R"~(nothing (matches the empty string) (`{0}` allows no repetition: the whole item matches the empty string)
)~",
       R"~(空(匹配空字符串)(`{0}` 不允许任何重复:整个项匹配空字符串)
)~"},
      {R"~({,5})~", 0,
       R"~(these 3 parts in order
  the literal text `{` (`{` has nothing to repeat: it is read as the literal text `{`)
  the literal text `,5`
  the literal text `}`
)~",
       R"~(依次匹配以下 3 个部分
  字面文本 `{`(`{` 前面没有可重复的内容:被读作字面文本 `{`)
  字面文本 `,5`
  字面文本 `}`
)~"},
      {R"~(*a)~", 0,
       R"~(these 2 parts in order
  the literal text `*` (`*` has nothing to repeat: it is read as the literal text `*`)
  the literal text `a`
)~",
       R"~(依次匹配以下 2 个部分
  字面文本 `*`(`*` 前面没有可重复的内容:被读作字面文本 `*`)
  字面文本 `a`
)~"},
      {R"~((?<year>\d{4})-(?<month>\d\d))~", 0,
       R"~(these 3 parts in order
  capture group 1 (`year`): exactly 4 of: a digit
    exactly 4 of: a digit
      a digit
  the literal text `-`
  capture group 2 (`month`): these 2 parts in order
    these 2 parts in order
      a digit
      a digit
)~",
       R"~(依次匹配以下 3 个部分
  捕获组 1(`year`):恰好 4 个:一个数字
    恰好 4 个:一个数字
      一个数字
  字面文本 `-`
  捕获组 2(`month`):依次匹配以下 2 个部分
    依次匹配以下 2 个部分
      一个数字
      一个数字
)~"},
      {R"~((?'q'a)(?P<r>b))~", 0,
       R"~(these 2 parts in order
  capture group 1 (`q`): the literal text `a`
    the literal text `a`
  capture group 2 (`r`): the literal text `b`
    the literal text `b`
)~",
       R"~(依次匹配以下 2 个部分
  捕获组 1(`q`):字面文本 `a`
    字面文本 `a`
  捕获组 2(`r`):字面文本 `b`
    字面文本 `b`
)~"},
      {R"~((?:a|b)+)~", 0,
       R"~(one or more (greedy) of: one of 2 alternatives, tried from the first
  group without capture: one of 2 alternatives, tried from the first
    one of 2 alternatives, tried from the first
      alternative 1: the literal text `a`
      alternative 2: the literal text `b`
)~",
       R"~(一个或多个(贪婪):2 个分支之一,从第一个开始尝试
  非捕获组:2 个分支之一,从第一个开始尝试
    2 个分支之一,从第一个开始尝试
      分支 1:字面文本 `a`
      分支 2:字面文本 `b`
)~"},
      {R"~((?>ab))~", 0,
       R"~(atomic group (once matched, never backtracked into): the literal text `ab`
  the literal text `ab`
)~",
       R"~(原子组(匹配后不再回溯进入):字面文本 `ab`
  字面文本 `ab`
)~"},
      {R"~((a)~", 0,
       R"~(capture group 1: the literal text `a` (the group has no closing ): it runs to the end of the pattern)
  the literal text `a`
)~",
       R"~(捕获组 1:字面文本 `a`(组没有结束的 ):一直延续到模式末尾)
  字面文本 `a`
)~"},
      {R"~((?<n)~", 0,
       R"~(capture group 1 (`n`): nothing (matches the empty string) (the name has no closing `>`: it runs to the end of the pattern)
  nothing (matches the empty string)
)~",
       R"~(捕获组 1(`n`):空(匹配空字符串)(名称没有结束的 `>`:一直延续到模式末尾)
  空(匹配空字符串)
)~"},
      {R"~((?i)ab)~", 0,
       R"~(these 2 parts in order
  from here to the end of the enclosing group: ignore case on
  the literal text `ab`, in any case
)~",
       R"~(依次匹配以下 2 个部分
  从此处到所在组结束:打开忽略大小写
  字面文本 `ab`(不区分大小写)
)~"},
      {R"~((?i-s:x))~", 0,
       R"~(group without capture, with ignore case on, single line off: the literal text `x`, in any case
  the literal text `x`, in any case
)~",
       R"~(非捕获组,打开忽略大小写、关闭单行:字面文本 `x`(不区分大小写)
  字面文本 `x`(不区分大小写)
)~"},
      {R"~((?x))~", 0,
       R"~(from here to the end of the enclosing group: no change of mode (`x` is not a mode letter: it is ignored)
)~",
       R"~(从此处到所在组结束:不改变模式(`x` 不是模式字母:被忽略)
)~"},
      {R"~((?i)~", 0,
       R"~(from here to the end of the enclosing group: ignore case on (the mode modifier has no closing ): it runs to the end of the pattern)
)~",
       R"~(从此处到所在组结束:打开忽略大小写(模式修饰符没有结束的 ):一直延续到模式末尾)
)~"},
      {R"~(x(?=-))~", 0,
       R"~(these 2 parts in order
  the literal text `x`
  look ahead: followed by the literal text `-`
    the literal text `-`
)~",
       R"~(依次匹配以下 2 个部分
  字面文本 `x`
  向前查看:后面是字面文本 `-`
    字面文本 `-`
)~"},
      {R"~((?!-))~", 0,
       R"~(look ahead: not followed by the literal text `-`
  the literal text `-`
)~",
       R"~(向前查看:后面不是字面文本 `-`
  字面文本 `-`
)~"},
      {R"~((?<!a)b(?<=c))~", 0,
       R"~(these 3 parts in order
  look behind: not preceded by the literal text `a`
    the literal text `a`
  the literal text `b`
  look behind: preceded by the literal text `c`
    the literal text `c`
)~",
       R"~(依次匹配以下 3 个部分
  向后查看:前面不是字面文本 `a`
    字面文本 `a`
  字面文本 `b`
  向后查看:前面是字面文本 `c`
    字面文本 `c`
)~"},
      {R"~((a)\2\1\k<nope>)~", 0,
       R"~(these 4 parts in order
  capture group 1: the literal text `a`
    the literal text `a`
  the text captured by group 2, which does not exist: never matches
  the text captured by group 1
  a reference to `nope`, which names no group: never matches
)~",
       R"~(依次匹配以下 4 个部分
  捕获组 1:字面文本 `a`
    字面文本 `a`
  组 2 捕获的文本,但该组不存在:永不匹配
  组 1 捕获的文本
  对 `nope` 的引用,但没有这个名称的组:永不匹配
)~"},
      {R"~((?<y>a)\k<y>\g'y')~", 0,
       R"~(these 3 parts in order
  capture group 1 (`y`): the literal text `a`
    the literal text `a`
  the text captured by group 1 (`y`)
  the text captured by group 1 (`y`)
)~",
       R"~(依次匹配以下 3 个部分
  捕获组 1(`y`):字面文本 `a`
    字面文本 `a`
  组 1(`y`) 捕获的文本
  组 1(`y`) 捕获的文本
)~"},
      {R"~((a)\1)~", 8,
       R"~(these 2 parts in order
  capture group 1: the literal text `a`, in any case
    the literal text `a`, in any case
  the text captured by group 1, in any case
)~",
       R"~(依次匹配以下 2 个部分
  捕获组 1:字面文本 `a`(不区分大小写)
    字面文本 `a`(不区分大小写)
  组 1 捕获的文本(不区分大小写)
)~"},
      {R"~(\k<x)~", 0,
       R"~(a reference to `x`, which names no group: never matches (the name has no closing `>`: it runs to the end of the pattern)
)~",
       R"~(对 `x` 的引用,但没有这个名称的组:永不匹配(名称没有结束的 `>`:一直延续到模式末尾)
)~"},
      {R"~((?R))~", 0,
       R"~(the whole pattern again, here (recursion)
)~",
       R"~(在此处再次匹配整个模式(递归)
)~"},
      {R"~((?1)(a))~", 0,
       R"~(these 2 parts in order
  group 1 again, here (recursion)
  capture group 1: the literal text `a`
    the literal text `a`
)~",
       R"~(依次匹配以下 2 个部分
  在此处再次匹配组 1(递归)
  捕获组 1:字面文本 `a`
    字面文本 `a`
)~"},
      {R"~((?2))~", 0,
       R"~(recursion into group 2, which does not exist: matches the empty string
)~",
       R"~(递归进入组 2,但该组不存在:匹配空字符串
)~"},
      {R"~((?R<n>)(?<n>a))~", 0,
       R"~(these 2 parts in order
  group 1 (`n`) again, here (recursion)
  capture group 1 (`n`): the literal text `a`
    the literal text `a`
)~",
       R"~(依次匹配以下 2 个部分
  在此处再次匹配组 1(`n`)(递归)
  捕获组 1(`n`):字面文本 `a`
    字面文本 `a`
)~"},
      {R"~((?R<zz>))~", 0,
       R"~(recursion into `zz`, which names no group: matches the empty string
)~",
       R"~(递归进入 `zz`,但没有这个名称的组:匹配空字符串
)~"},
      {R"~((?R)~", 0,
       R"~(the whole pattern again, here (recursion) (it has no closing ): it runs to the end of the pattern)
)~",
       R"~(在此处再次匹配整个模式(递归)(没有结束的 ):一直延续到模式末尾)
)~"},
      {R"~((?(1)a|b)(a))~", 0,
       R"~(these 2 parts in order
  if group 1 has captured, the yes branch; otherwise the no branch
    if yes: the literal text `a`
    if no: the literal text `b`
  capture group 1: the literal text `a`
    the literal text `a`
)~",
       R"~(依次匹配以下 2 个部分
  如果组 1 已捕获,匹配“条件成立”分支;否则匹配“条件不成立”分支
    条件成立时:字面文本 `a`
    条件不成立时:字面文本 `b`
  捕获组 1:字面文本 `a`
    字面文本 `a`
)~"},
      {R"~((?(1)a|b|c)(a))~", 0,
       R"~(these 2 parts in order
  if group 1 has captured, the yes branch; otherwise the no branch
    if yes: the literal text `a`
    if no: one of 2 alternatives, tried from the first
      alternative 1: the literal text `b`
      alternative 2: the literal text `c`
  capture group 1: the literal text `a`
    the literal text `a`
)~",
       R"~(依次匹配以下 2 个部分
  如果组 1 已捕获,匹配“条件成立”分支;否则匹配“条件不成立”分支
    条件成立时:字面文本 `a`
    条件不成立时:2 个分支之一,从第一个开始尝试
      分支 1:字面文本 `b`
      分支 2:字面文本 `c`
  捕获组 1:字面文本 `a`
    字面文本 `a`
)~"},
      {R"~((?(x)a))~", 0,
       R"~(if the look-around below matches here, the yes branch; otherwise nothing (the empty string) (no group is named `x`: the text `x` is tested as a look-ahead instead)
  condition: look ahead: followed by the literal text `x`
    the literal text `x`
  if yes: the literal text `a`
)~",
       R"~(如果下面的查看在此处成立,匹配“条件成立”分支;否则匹配空字符串(没有名为 `x` 的组:改为以向前查看测试文本 `x`)
  条件:向前查看:后面是字面文本 `x`
    字面文本 `x`
  条件成立时:字面文本 `a`
)~"},
      {R"~((?(?=a)b|c))~", 0,
       R"~(if the look-around below matches here, the yes branch; otherwise the no branch
  condition: look ahead: followed by the literal text `a`
    the literal text `a`
  if yes: the literal text `b`
  if no: the literal text `c`
)~",
       R"~(如果下面的查看在此处成立,匹配“条件成立”分支;否则匹配“条件不成立”分支
  条件:向前查看:后面是字面文本 `a`
    字面文本 `a`
  条件成立时:字面文本 `b`
  条件不成立时:字面文本 `c`
)~"},
      {R"~((?(1))~", 0,
       R"~(if group 1 has captured, the yes branch; otherwise nothing (the empty string) (the pattern ends right after the condition)
  if yes: nothing (matches the empty string)
)~",
       R"~(如果组 1 已捕获,匹配“条件成立”分支;否则匹配空字符串(模式在条件之后立即结束)
  条件成立时:空(匹配空字符串)
)~"},
      {R"~((?<b-a>x)(?<a>y))~", 0,
       R"~(these 2 parts in order
  balancing group 1 (`b`): takes away the latest capture of group 2 (`a`) and captures the text between that capture and this group: the literal text `x`
    the literal text `x`
  capture group 2 (`a`): the literal text `y`
    the literal text `y`
)~",
       R"~(依次匹配以下 2 个部分
  平衡组 1(`b`):移除组 2(`a`) 最近的一次捕获,并捕获该捕获与本组之间的文本:字面文本 `x`
    字面文本 `x`
  捕获组 2(`a`):字面文本 `y`
    字面文本 `y`
)~"},
      {R"~((?<b-zz>x))~", 0,
       R"~(balancing group 1 (`b`): `zz` names no group, so it never matches
  the literal text `x`
)~",
       R"~(平衡组 1(`b`):`zz` 不是任何组的名称,因此永不匹配
  字面文本 `x`
)~"},
      {R"~(\d(?#c)\w)~", 0,
       R"~(these 2 parts in order (the comment `(?#c)` is ignored)
  a digit
  a word character (letter, digit or _)
)~",
       R"~(依次匹配以下 2 个部分(注释 `(?#c)` 被忽略)
  一个数字
  一个单词字符(字母、数字或 _)
)~"},
      {R"~(a(?#note)b)~", 0,
       R"~(the literal text `ab` (the comment `(?#note)` is ignored)
)~",
       R"~(字面文本 `ab`(注释 `(?#note)` 被忽略)
)~"},
      {R"~(a)bc)~", 0,
       R"~(the literal text `a` (the ) at position 1 closes nothing: it and the rest, `bc`, are ignored)
)~",
       R"~(字面文本 `a`(位置 1 处的 ) 没有对应的组:它和其后的 `bc` 都被忽略)
)~"},
      {R"~(a|)~", 0,
       R"~(one of 2 alternatives, tried from the first
  alternative 1: the literal text `a`
  alternative 2: nothing (matches the empty string)
)~",
       R"~(2 个分支之一,从第一个开始尝试
  分支 1:字面文本 `a`
  分支 2:空(匹配空字符串)
)~"},
      // Extended mode: blanks and '#' comments are skipped inside the text.
      {"a b # note\nc", 32, "the literal text `abc` (the comment `# note` is ignored)\n",
       "字面文本 `abc`(注释 `# note` 被忽略)\n"},
      // A comment without ')' runs to the end; it lies after the root, which takes the note.
      {"a(?#x", 0, "the literal text `a` (the comment `(?#x` is ignored)\n", "字面文本 `a`(注释 `(?#x` 被忽略)\n"},
      // A balancing group without a name of its own.
      {"(a)(?<-1>b)", 0,
       R"~(these 2 parts in order
  capture group 1: the literal text `a`
    the literal text `a`
  balancing group 2: takes away the latest capture of group 1 and captures the text between that capture and this group: the literal text `b`
    the literal text `b`
)~",
       R"~(依次匹配以下 2 个部分
  捕获组 1:字面文本 `a`
    字面文本 `a`
  平衡组 2:移除组 1 最近的一次捕获,并捕获该捕获与本组之间的文本:字面文本 `b`
    字面文本 `b`
)~"},
      {R"~(ab\d)~", 16,
       R"~(these 2 parts in order, matched from right to left
  the literal text `ab`
  a digit
)~",
       R"~(依次匹配以下 2 个部分,从右向左匹配
  字面文本 `ab`
  一个数字
)~"},
      // Escapes the compiler reads specially, inside a class and outside one.
      {R"~([\p{L}])~", 0,
       R"~(one character of: `p`, `{`, `L`, `}` (`\p` is not a Unicode property class (the engine has none): it is read as the letter `p`)
)~",
       R"~(以下字符之一:`p`、`{`、`L`、`}`(`\p` 不是 Unicode 属性类(引擎没有此类):被读作字母 `p`)
)~"},
      {R"~([\b\G\A\d])~", 0,
       R"~(one character of: a backspace, `A`, a digit (inside a class, `\b` is read as a backspace; inside a class, `\G` is ignored; inside a class, `\A` has no special meaning: it is read as the letter `A`)
  a digit
)~",
       R"~(以下字符之一:退格符、`A`、一个数字(在字符类中,`\b` 被读作退格符;在字符类中,`\G` 被忽略;在字符类中,`\A` 没有特殊含义:被读作字母 `A`)
  一个数字
)~"},
      {R"~([\1])~", 0,
       R"~(one character of: `\`, `1` (inside a class, `\1` is read as a backslash followed by the digit `1`)
)~",
       R"~(以下字符之一:`\`、`1`(在字符类中,`\1` 被读作反斜杠后跟数字 `1`)
)~"},
      {R"~(a\Eb)~", 0,
       R"~(the literal text `ab` (`\E` outside quote mode is ignored)
)~",
       R"~(字面文本 `ab`(引用模式之外的 `\E` 被忽略)
)~"},
      {R"~(\k)~", 0,
       R"~(the text matched so far by the whole pattern (`\k` has no group number or name: it is read as a reference to group 0, the whole match)
)~",
       R"~(整个模式到此为止匹配的文本(`\k` 没有组号或组名:被读作对组 0(整个匹配)的引用)
)~"},
      {R"~(\012)~", 0,
       R"~(the text captured by group 12, which does not exist: never matches (`\012` is read as a back-reference, not as an octal character code)
)~",
       R"~(组 12 捕获的文本,但该组不存在:永不匹配(`\012` 被读作反向引用,而不是八进制字符编码)
)~"},
      {R"~(\1234)~", 0,
       R"~(these 2 parts in order
  the text captured by group 123, which does not exist: never matches (a back-reference takes at most three digits: `\123` is followed by the plain text `4`)
  the literal text `4`
)~",
       R"~(依次匹配以下 2 个部分
  组 123 捕获的文本,但该组不存在:永不匹配(反向引用最多取三位数字:`\123` 之后的 `4` 是普通文本)
  字面文本 `4`
)~"},
      {R"~(\p{L})~", 0,
       R"~(nothing (matches the empty string) (`\p` is not a Unicode property class (the engine has none): it is read as the letter `p`; `{L}` does not start with a number: it is read as at most 0 repetitions, so the whole item matches the empty string)
)~",
       R"~(空(匹配空字符串)(`\p` 不是 Unicode 属性类(引擎没有此类):被读作字母 `p`;`{L}` 不以数字开头:被读作最多重复 0 次,因此整个项匹配空字符串)
)~"},
};

TEST(ExplainTable, EnglishOutlines) {
  for (const Row& row : kRows) EXPECT_EQ(Outline(row.pattern, row.flags, CStringTable::kEnglish), row.english) << row.pattern;
}

TEST(ExplainTable, ChineseOutlines) {
  for (const Row& row : kRows)
    EXPECT_EQ(Outline(row.pattern, row.flags, CStringTable::kSimplifiedChinese), row.chinese) << row.pattern;
}

// Every escape of a printable ASCII character, outside a class and inside one, against what the
// compiler built for it: a reading other than the escaped character itself is named (the
// sentence shows the escape and each character it became), a letter read as itself is said to
// be read as that letter, escaped punctuation gets no word, and an escape that became an element
// of its own is never called unknown. Outside a class the escape is written before a `z`, inside
// one after a `z`, so that escapes that start quote mode or are dropped still hold a place.
TEST(ExplainEscapes, EveryEscapeGetsTheCompilersReading) {
  for (int language : {CStringTable::kEnglish, CStringTable::kSimplifiedChinese}) {
    Language lang(language);
    for (int inClass = 0; inClass < 2; ++inClass) {
      for (unsigned c = 0x21; c < 0x7F; ++c) {
        const std::string pattern =
            inClass ? std::string("[z\\") + static_cast<char>(c) + "]" : std::string("\\") + static_cast<char>(c) + "z";
        SCOPED_TRACE(pattern + (language == CStringTable::kEnglish ? " (English)" : " (Chinese)"));
        Pattern p(pattern.c_str());
        CExplanation x;
        x.Build(p.tree, 0);
        const ElementRecord* root = p.tree.Root();
        ASSERT_NE(root, nullptr);
        const QString escape = QStringLiteral("\\") + QChar(c);
        const QString unknown = CExplanation::Fill(CStringTable::Str(IDS_EXPLAIN_ESCAPE_UNKNOWN),
                                                   {QStringLiteral("`\\%1`").arg(QChar(c)), QStringLiteral("`%1`").arg(QChar(c))});
        // The compiler's reading: the characters it holds for the escape, or an element.
        std::vector<unsigned> held;
        const ElementRecord* element = nullptr;
        const ElementRecord* owner = root;  // the record whose sentence explains the escape
        if (!inClass) {
          if (root->type == ELEMENT_STRING) {
            const auto* s = static_cast<const CStringElement<unsigned short>*>(root->element);
            held.assign(s->GetChars(), s->GetChars() + s->m_nLength - 1);  // without the `z`
          } else {
            element = root->type == ELEMENT_LIST ? root->children.front() : root;
            owner = element;
          }
        } else {
          ASSERT_EQ(root->type, ELEMENT_CHARSET);
          const auto* cs = static_cast<const CCharsetElement<unsigned short>*>(root->element);
          ASSERT_TRUE(cs->m_ranges.IsEmpty());
          ASSERT_GE(cs->m_chars.GetSize(), 1);
          ASSERT_EQ(cs->m_chars[0], 'z');
          for (int i = 1; i < cs->m_chars.GetSize(); ++i) held.push_back(cs->m_chars[i]);
          if (!root->children.empty()) element = root->children.front();
        }
        const QString sentence = x.Sentence(owner);
        if (element) {
          // An element of its own (an anchor, a class, a back-reference): its sentence says what.
          EXPECT_FALSE(sentence.contains(unknown)) << sentence.toStdString();
          if (inClass) {
            EXPECT_TRUE(sentence.contains(x.Short(element))) << sentence.toStdString();
          }
          EXPECT_NE(x.Sentence(element), CStringTable::Str(IDS_EXPLAIN_EMPTY)) << "no reading";
        } else if (held.size() == 1 && held[0] == c) {
          const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
          if (letter) {
            EXPECT_TRUE(sentence.contains(QLatin1Char('`') + escape + QLatin1Char('`'))) << sentence.toStdString();
            EXPECT_TRUE(sentence.contains(QStringLiteral("`%1`").arg(QChar(c)))) << sentence.toStdString();
          } else {
            EXPECT_FALSE(sentence.contains(escape)) << "escaped punctuation explained: " << sentence.toStdString();
          }
        } else {
          // Read as something else, or dropped: the sentence names the escape and what it became.
          EXPECT_TRUE(sentence.contains(escape)) << sentence.toStdString();
          for (unsigned h : held) EXPECT_TRUE(sentence.contains(CExplanation::CharName(h))) << sentence.toStdString();
          EXPECT_FALSE(sentence.contains(unknown)) << sentence.toStdString();
        }
      }
    }
  }
}

// The back-references written with digits or a bare \k or \g, where readers expect otherwise.
TEST(ExplainEscapes, BackReferencesSayHowTheyWereRead) {
  struct Row {
    const char* pattern;
    int id;  // the note expected on the back-reference, 0 for none
  } rows[] = {
      {"\\0", IDS_EXPLAIN_BACKREF_NOT_OCTAL},  {"\\012", IDS_EXPLAIN_BACKREF_NOT_OCTAL},
      {"\\k", IDS_EXPLAIN_BACKREF_BARE},       {"\\gx", IDS_EXPLAIN_BACKREF_BARE},
      {"\\1234", IDS_EXPLAIN_BACKREF_THREE_DIGITS}, {"(a)\\1", 0},
      {"(a)\\k<1>", 0},                        {"\\123", 0},
  };
  for (const Row& row : rows) {
    Pattern p(row.pattern);
    CExplanation x;
    x.Build(p.tree, 0);
    const ElementRecord* backref = nullptr;
    for (const ElementRecord* r : p.tree.OffsetList())
      if (r->type == ELEMENT_BACKREF) backref = r;
    ASSERT_NE(backref, nullptr) << row.pattern;
    const QString sentence = x.Sentence(backref);
    const QString written = QStringLiteral("`%1`").arg(QString::fromLatin1(row.pattern).mid(backref->offset, backref->length));
    for (int id : {IDS_EXPLAIN_BACKREF_NOT_OCTAL, IDS_EXPLAIN_BACKREF_BARE, IDS_EXPLAIN_BACKREF_THREE_DIGITS}) {
      const QString note = CExplanation::Fill(CStringTable::Str(id), {written, QStringLiteral("`4`")});
      EXPECT_EQ(sentence.contains(note), id == row.id) << row.pattern << ": " << sentence.toStdString();
    }
  }
}

// One pattern per element kind that a record can have; a kind without a sample, or a record
// whose sentence is empty, falls back to the generic text, or keeps a placeholder, fails.
TEST(ExplainKinds, EveryKindHasItsOwnText) {
  struct Sample {
    int kind;
    const char* pattern;
  } samples[] = {
      {ELEMENT_ALTERNATIVE, "a|b"},        {ELEMENT_ASSERTION, "(?=a)"},     {ELEMENT_BACKREF, "(a)\\1"},
      {ELEMENT_BOUNDARY, "^"},             {ELEMENT_DELEGATE, "(?R)"},       {ELEMENT_EMPTY, "a|"},
      {ELEMENT_LASTMATCH, "\\G"},          {ELEMENT_GREEDY, "a*"},           {ELEMENT_INDEPENDENT, "(?>a)"},
      {ELEMENT_LIST, "a\\d"},              {ELEMENT_POSIX, "[:digit:]"},     {ELEMENT_POSSESSIVE, "a*+"},
      {ELEMENT_CHARSET, "[ab]"},           {ELEMENT_RELUCTANT, "a*?"},       {ELEMENT_FIXED, "a{2}"},
      {ELEMENT_STRING, "abc"},             {ELEMENT_CONDITIONAL, "(a)(?(1)b)"},
      {ELEMENT_NONCAPTURE_GROUP, "(?:a)"}, {ELEMENT_CAPTURE_GROUP, "(a)"},   {ELEMENT_MODE_MODIFIER, "(?i)"},
  };
  for (int language : {CStringTable::kEnglish, CStringTable::kSimplifiedChinese}) {
    Language lang(language);
    const QString generic = CStringTable::Str(IDS_TREE_EMPTY);
    for (int kind = ELEMENT_ALTERNATIVE; kind <= ELEMENT_MODE_MODIFIER; ++kind) {
      // Brackets never get a record: a whole group is one record of its own kind.
      if (kind == ELEMENT_BRACKET) continue;
      const Sample* sample = nullptr;
      for (const Sample& s : samples)
        if (s.kind == kind) sample = &s;
      ASSERT_NE(sample, nullptr) << "no sample pattern for kind " << kind;
      Pattern p(sample->pattern, kind == ELEMENT_LASTMATCH ? 4 : 0);
      CExplanation x;
      x.Build(p.tree, kind == ELEMENT_LASTMATCH ? 4 : 0);
      const ElementRecord* found = nullptr;
      for (const ElementRecord* r : p.tree.OffsetList())
        if (r->type == kind) found = r;
      ASSERT_NE(found, nullptr) << sample->pattern << " has no record of kind " << kind;
      const QString text = x.Sentence(found);
      EXPECT_FALSE(text.isEmpty()) << kind;
      EXPECT_NE(text, generic) << kind;
      if (kind != ELEMENT_EMPTY) {
        EXPECT_NE(text, CStringTable::Str(IDS_EXPLAIN_EMPTY)) << "kind " << kind << " explained as empty";
      }
      EXPECT_FALSE(text.contains(QStringLiteral("%1")) || text.contains(QStringLiteral("%2"))) << text.toStdString();
    }
  }
}

// Every record of every table pattern has a sentence without placeholders, in both languages.
TEST(ExplainKinds, NoRecordWithoutText) {
  for (int language : {CStringTable::kEnglish, CStringTable::kSimplifiedChinese}) {
    Language lang(language);
    for (const Row& row : kRows) {
      Pattern p(row.pattern, row.flags);
      CExplanation x;
      x.Build(p.tree, row.flags);
      for (const ElementRecord* r : p.tree.OffsetList()) {
        const QString text = x.LineText(r);
        EXPECT_FALSE(text.isEmpty()) << row.pattern;
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("%\\d")))) << row.pattern;
      }
    }
  }
}

TEST(ExplainText, FillIsOnePass) {
  // A pattern text may itself hold "%1" or "%2": it is copied, never filled again.
  EXPECT_EQ(CExplanation::Fill(QStringLiteral("%1 and %2"), {QStringLiteral("%2"), QStringLiteral("x")}),
            QStringLiteral("%2 and x"));
  EXPECT_EQ(CExplanation::Fill(QStringLiteral("%3 %1%"), {QStringLiteral("a")}), QStringLiteral("%3 a%"));
  EXPECT_EQ(Outline("%1", 0, CStringTable::kEnglish), "the literal text `%1`\n");
}

TEST(ExplainText, QuoteNamesWhatCannotBeShown) {
  const std::vector<unsigned short> text{'a', 9, ' ', 'b', 0x1F, ' ', 0x4E2D};
  EXPECT_EQ(CExplanation::Quote(text, 0, 7), QStringLiteral("`a`, a tab, ` b`, the character U+001F, ` 中`"));
  // A blank alone is named rather than quoted.
  EXPECT_EQ(CExplanation::Quote(text, 5, 1), QStringLiteral("a space"));
  // Long texts are cut.
  std::vector<unsigned short> longText(500, 'x');
  EXPECT_LT(CExplanation::Quote(longText, 0, 500).size(), 100);
  // Out of range asks give what is there.
  EXPECT_EQ(CExplanation::Quote(text, 5, 50), QStringLiteral("` 中`"));
}

TEST(ExplainText, NullAndClearedRecordsAreEmpty) {
  Pattern p("(a)b");
  CExplanation x;
  x.Build(p.tree, 0);
  EXPECT_TRUE(x.Sentence(nullptr).isEmpty());
  ElementRecord* group = p.tree.Root()->children[0];
  ClearRecord(group);
  EXPECT_TRUE(x.Sentence(group).isEmpty());
  CExplanation none;
  EXPECT_TRUE(none.Outline(10, 10).empty());
  EXPECT_TRUE(none.Sentence(p.tree.Root()).isEmpty());
}

// Huge patterns: the outline is bounded by its limits, and a sentence never walks deep.
TEST(ExplainBounds, HundredThousandAlternatives) {
  std::string big;
  for (int i = 0; i < 100000; ++i) {
    if (i) big += '|';
    big += "w" + std::to_string(i);
  }
  Pattern p(big.c_str());
  CExplanation x;
  x.Build(p.tree, 0);
  const auto lines = x.Outline(1, 50);
  ASSERT_EQ(lines.size(), 50u);
  EXPECT_EQ(lines[0].text.toStdString(), "one of 100000 alternatives, tried from the first");
  EXPECT_EQ(lines[49].text.toStdString(), "alternative 49: the literal text `w48`");
  EXPECT_EQ(x.LineText(p.tree.Root()->children[99999], 99999).toStdString(), "alternative 100000: the literal text `w99999`");
}

TEST(ExplainBounds, DeepNesting) {
  // 250 groups reach the compiler's nesting limit: deeper '(' are read as literal text.
  std::string deep(300, '(');
  deep += 'a';
  deep += std::string(300, ')');
  Pattern p(deep.c_str());
  CExplanation x;
  x.Build(p.tree, 0);
  const auto all = x.Outline(100000, 100000);
  ASSERT_FALSE(all.empty());
  int deepest = 0;
  for (const auto& line : all) deepest = std::max(deepest, line.depth);
  EXPECT_GE(deepest, 250);
  // The literal '(' past the limit says so.
  bool literal = false;
  for (const auto& line : all) literal |= line.text.contains(QStringLiteral("nested too deeply"));
  EXPECT_TRUE(literal);
  // Depth-limited outlines stop where asked.
  for (const auto& line : x.Outline(3, 100000)) EXPECT_LE(line.depth, 3);
  // A sentence names its content without walking the whole chain.
  EXPECT_LT(x.Sentence(p.tree.Root()).size(), 200);
}

// Malformed input of every kind: random patterns over the metacharacters, in every option
// combination, get a sentence for each record and never a crash or a placeholder.
TEST(ExplainBounds, RandomPatternsAreExplained) {
  const char alphabet[] = "()[]{}<>|?*+-^$.:=!#'\\\\abdkgxuQELURPsSwWDzZAGbB0129,iI -_\n";
  unsigned seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int n = 0; n < 3000; ++n) {
    std::string pattern;
    const int length = static_cast<int>(next() % 24);
    for (int i = 0; i < length; ++i) pattern += alphabet[next() % (sizeof(alphabet) - 1)];
    const int flags = static_cast<int>(next() % 64);
    Pattern p(pattern.c_str(), flags);
    CExplanation x;
    x.Build(p.tree, flags);
    for (const ElementRecord* r : p.tree.OffsetList()) {
      const QString text = x.LineText(r);
      ASSERT_FALSE(text.isEmpty()) << pattern;
      ASSERT_FALSE(text.contains(QRegularExpression(QStringLiteral("%\\d")))) << pattern;
    }
    ASSERT_FALSE(x.OutlineText(1000, 1000).isEmpty()) << pattern;
  }
}

}  // namespace
