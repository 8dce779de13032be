// KorvaneRunner.java: the java flavour's runner, java.util.regex behind Korvane's JSON-lines
// protocol (a hello line, then one request a line on stdin, answers streamed on stdout). Offsets
// are UTF-16 units, as Java's strings count them. No libraries: the JSON reader and writer are
// the small ones below. Covered by app/flavours/runners/native/tests/runner_protocol_test.cpp.
import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.io.OutputStreamWriter;
import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.regex.PatternSyntaxException;

public final class KorvaneRunner {
    private static final long STACK_BYTES = 512L << 20;

    private KorvaneRunner() {}

    public static void main(String[] args) throws Exception {
        // Deep backtracking recurses in the matcher: a big stack turns most overflows into
        // results, and the rest are caught as a run-time error of the subject.
        Thread loop = new Thread(null, KorvaneRunner::serve, "korvane-runner", STACK_BYTES);
        loop.start();
        loop.join();
        System.exit(0);
    }

    private static final PrintWriter OUT =
        new PrintWriter(new OutputStreamWriter(System.out, StandardCharsets.UTF_8), false);

    private static void writeLine(String line) {
        OUT.print(line);
        OUT.print('\n');
        OUT.flush();
    }

    private static void serve() {
        StringBuilder hello = new StringBuilder("{\"hello\":\"korvane-runner\",\"protocol\":1,\"flavour\":\"java\",");
        hello.append("\"engine\":\"java.util.regex\",\"version\":");
        Json.appendString(hello, System.getProperty("java.version"));
        hello.append(",\"unit\":\"utf16\",\"surrogates\":true}");
        writeLine(hello.toString());
        try (BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8))) {
            String line;
            while ((line = in.readLine()) != null) {
                if (line.trim().isEmpty()) {
                    continue;
                }
                handle(line);
            }
        } catch (java.io.IOException e) {
            System.err.println("korvane-runner: " + e);
        }
    }

    // ---- one request ----------------------------------------------------------------------------

    private static final class BadRequest extends Exception {
        private static final long serialVersionUID = 1L;
        final String id;

        BadRequest(String id, String message) {
            super(message);
            this.id = id;
        }
    }

    private static final class Request {
        String id;
        String pattern;
        String flags = "";
        String nativeFlags = "";
        List<String> subjects = new ArrayList<>();
        long timeoutMs = 1000;
        long maxMatches = 10000;
    }

    private static void handle(String line) {
        Request request;
        try {
            request = parseRequest(line);
        } catch (BadRequest e) {
            StringBuilder answer = new StringBuilder("{\"id\":").append(e.id).append(",\"fatal\":");
            Json.appendString(answer, "bad request: " + e.getMessage());
            writeLine(answer.append('}').toString());
            return;
        }
        String head = "{\"id\":" + request.id;
        Pattern pattern;
        try {
            pattern = Pattern.compile(request.pattern, compileFlags(request));
        } catch (PatternSyntaxException e) {
            StringBuilder answer = new StringBuilder(head).append(",\"compiled\":false,\"error\":");
            Json.appendString(answer, e.getDescription());
            answer.append(",\"offset\":").append(utf16Offset(request.pattern, e.getIndex())).append('}');
            writeLine(answer.toString());
            writeLine(head + ",\"done\":true}");
            return;
        } catch (IllegalArgumentException | StackOverflowError e) {
            StringBuilder answer = new StringBuilder(head).append(",\"compiled\":false,\"error\":");
            Json.appendString(answer, e instanceof StackOverflowError ? "stack overflow while compiling" : e.getMessage());
            writeLine(answer.append(",\"offset\":-1}").toString());
            writeLine(head + ",\"done\":true}");
            return;
        }
        int groups = pattern.matcher("").groupCount();
        StringBuilder compiled = new StringBuilder(head).append(",\"compiled\":true,\"groups\":").append(groups);
        compiled.append(",\"names\":[");
        boolean first = true;
        for (Map.Entry<String, Integer> name : GroupNames.find(request.pattern, groups, request.flags.indexOf('x') >= 0).entrySet()) {
            if (!first) {
                compiled.append(',');
            }
            first = false;
            compiled.append('[');
            Json.appendString(compiled, name.getKey());
            compiled.append(',').append(name.getValue()).append(']');
        }
        writeLine(compiled.append("]}").toString());
        for (int s = 0; s < request.subjects.size(); ++s) {
            String subject = request.subjects.get(s);
            String out = head + ",\"subject\":" + s + ",\"status\":";
            if (subject == null) {
                writeLine(out + "\"skipped\"}");
                continue;
            }
            writeLine(out + runSubject(pattern, subject, groups, request) + "}");
        }
        writeLine(head + ",\"done\":true}");
    }

    // Pattern counts its error index in code points (it parses an array of them); the protocol
    // wants UTF-16 units of the pattern.
    private static int utf16Offset(String pattern, int codePoints) {
        if (codePoints < 0) {
            return -1;
        }
        return pattern.offsetByCodePoints(0, Math.min(codePoints, pattern.codePointCount(0, pattern.length())));
    }

    // Generic letters first, then Java's own: U = UNICODE_CHARACTER_CLASS, u = UNICODE_CASE,
    // d = UNIX_LINES. Throws IllegalArgumentException (reported as a compile error) on any other.
    private static int compileFlags(Request request) {
        int flags = 0;
        for (char f : request.flags.toCharArray()) {
            switch (f) {
                case 'i': flags |= Pattern.CASE_INSENSITIVE; break;
                case 'm': flags |= Pattern.MULTILINE; break;
                case 's': flags |= Pattern.DOTALL; break;
                case 'x': flags |= Pattern.COMMENTS; break;
                default: throw new IllegalArgumentException("Java has no " + f + " flag");
            }
        }
        for (char f : request.nativeFlags.toCharArray()) {
            switch (f) {
                case 'U': flags |= Pattern.UNICODE_CHARACTER_CLASS; break;
                case 'u': flags |= Pattern.UNICODE_CASE; break;
                case 'd': flags |= Pattern.UNIX_LINES; break;
                default: throw new IllegalArgumentException("Java has no " + f + " option letter");
            }
        }
        return flags;
    }

    private static String runSubject(Pattern pattern, String subject, int groups, Request request) {
        DeadlineText text = new DeadlineText(subject, System.nanoTime() + request.timeoutMs * 1_000_000L);
        StringBuilder matches = new StringBuilder();
        long count = 0;
        boolean truncated = false;
        try {
            Matcher m = pattern.matcher(text);
            while (m.find()) {
                if (count >= request.maxMatches) {
                    truncated = true;
                    break;
                }
                if (count > 0) {
                    matches.append(',');
                }
                ++count;
                matches.append('[').append(m.start()).append(',').append(m.end());
                for (int g = 1; g <= groups; ++g) {
                    matches.append(',').append(m.start(g)).append(',').append(m.end(g));
                }
                matches.append(']');
            }
        } catch (DeadlineText.Expired e) {
            return "\"timeout\"";
        } catch (StackOverflowError e) {
            return "\"error\",\"error\":\"stack overflow in the matcher\"";
        } catch (RuntimeException e) {
            StringBuilder error = new StringBuilder("\"error\",\"error\":");
            Json.appendString(error, String.valueOf(e));
            return error.toString();
        }
        return "\"ok\",\"matches\":[" + matches + "],\"truncated\":" + truncated;
    }

    // The subject as the matcher sees it: every charAt checks the clock now and then and throws
    // once the subject's time is up, which is the only way to stop a java.util.regex match.
    private static final class DeadlineText implements CharSequence {
        static final class Expired extends RuntimeException {
            private static final long serialVersionUID = 1L;

            Expired() {
                super("timeout", null, false, false);
            }
        }

        private final String text;
        private final long deadline;
        private int calls;

        DeadlineText(String text, long deadline) {
            this.text = text;
            this.deadline = deadline;
        }

        @Override
        public char charAt(int index) {
            if ((++calls & 0x3FF) == 0 && System.nanoTime() - deadline > 0) {
                throw new Expired();
            }
            return text.charAt(index);
        }

        @Override
        public int length() {
            return text.length();
        }

        @Override
        public CharSequence subSequence(int start, int end) {
            return text.subSequence(start, end);
        }

        @Override
        public String toString() {
            return text;
        }
    }

    private static Request parseRequest(String line) throws BadRequest {
        Object root;
        try {
            root = new Json(line).parseAll();
        } catch (IllegalArgumentException e) {
            throw new BadRequest("null", e.getMessage());
        }
        if (!(root instanceof Map)) {
            throw new BadRequest("null", "a request must be a JSON object");
        }
        Map<?, ?> object = (Map<?, ?>) root;
        Request request = new Request();
        Object id = object.get("id");
        if (id instanceof Json.Number) {
            request.id = ((Json.Number) id).text;
        } else if (id instanceof String) {
            StringBuilder quoted = new StringBuilder();
            Json.appendString(quoted, (String) id);
            request.id = quoted.toString();
        } else {
            throw new BadRequest("null", "id must be a number or a string");
        }
        Object pattern = object.get("pattern");
        if (!(pattern instanceof String)) {
            throw new BadRequest(request.id, "pattern must be a string");
        }
        request.pattern = (String) pattern;
        request.flags = letters(object, "flags", request.id);
        request.nativeFlags = letters(object, "native_flags", request.id);
        Object subjects = object.get("subjects");
        if (!(subjects instanceof List)) {
            throw new BadRequest(request.id, "subjects must be an array");
        }
        for (Object subject : (List<?>) subjects) {
            if (subject != null && !(subject instanceof String)) {
                throw new BadRequest(request.id, "each subject must be a string or null");
            }
            request.subjects.add((String) subject);
        }
        request.timeoutMs = count(object, "timeout_ms", 1000, request.id);
        request.maxMatches = count(object, "max_matches", 10000, request.id);
        return request;
    }

    private static String letters(Map<?, ?> object, String key, String id) throws BadRequest {
        Object value = object.get(key);
        if (value == null) {
            return "";
        }
        if (!(value instanceof String)) {
            throw new BadRequest(id, key + " must be a string");
        }
        return (String) value;
    }

    private static long count(Map<?, ?> object, String key, long fallback, String id) throws BadRequest {
        if (!object.containsKey(key)) {
            return fallback;
        }
        Object value = object.get(key);
        if (!(value instanceof Json.Number) || !(((Json.Number) value).value >= 0)) {
            throw new BadRequest(id, key + " must be a number of at least 0");
        }
        return (long) Math.min(((Json.Number) value).value, 1e15);
    }

    // ---- group names ----------------------------------------------------------------------------

    // Java 17 lists no group names, so they are read from the pattern: every "(?<name>" outside
    // escapes, \Q..\E quotes and character classes, numbered by counting the capturing groups
    // before it; with the x flag, # comments are skipped as well. When the count disagrees with the
    // compiled pattern's (a construct this reading does not know, such as an inline (?x)), no
    // names are given rather than wrong numbers.
    static final class GroupNames {
        static Map<String, Integer> find(String p, int groups, boolean comments) {
            Map<String, Integer> names = new LinkedHashMap<>();
            int number = 0;
            int classDepth = 0;
            int i = 0;
            while (i < p.length()) {
                char c = p.charAt(i);
                if (c == '\\') {
                    if (i + 1 < p.length() && p.charAt(i + 1) == 'Q') {
                        int end = p.indexOf("\\E", i + 2);
                        i = end < 0 ? p.length() : end + 2;
                    } else {
                        i += 2;
                    }
                    continue;
                }
                if (classDepth > 0) {
                    if (c == '[') {
                        ++classDepth;
                    } else if (c == ']') {
                        --classDepth;
                    }
                    ++i;
                    continue;
                }
                if (comments && c == '#') {
                    int end = p.indexOf('\n', i);
                    i = end < 0 ? p.length() : end + 1;
                    continue;
                }
                if (c == '[') {
                    classDepth = 1;
                    // A ] right after [ or [^ is a literal member.
                    int next = i + 1;
                    if (next < p.length() && p.charAt(next) == '^') {
                        ++next;
                    }
                    if (next < p.length() && p.charAt(next) == ']') {
                        ++next;
                    }
                    i = next;
                    continue;
                }
                if (c == '(') {
                    if (i + 1 < p.length() && p.charAt(i + 1) == '?') {
                        if (i + 3 < p.length() && p.charAt(i + 2) == '<' && Character.isLetter(p.charAt(i + 3))) {
                            int end = p.indexOf('>', i + 3);
                            ++number;
                            if (end > 0) {
                                names.put(p.substring(i + 3, end), number);
                            }
                        }
                    } else {
                        ++number;
                    }
                }
                ++i;
            }
            if (number != groups) {
                return new LinkedHashMap<>();
            }
            return names;
        }
    }

    // ---- JSON -----------------------------------------------------------------------------------

    // Reads one JSON value: objects as Map, arrays as List, strings as String (a backslash-u escape is
    // one UTF-16 unit, so lone surrogates survive), numbers as Json.Number, true/false as Boolean,
    // null as null. Throws IllegalArgumentException with the position on bad input.
    static final class Json {
        static final class Number {
            final String text;
            final double value;

            Number(String text) {
                this.text = text;
                this.value = Double.parseDouble(text);
            }
        }

        private static final int MAX_DEPTH = 64;
        private final String s;
        private int pos;

        Json(String s) {
            this.s = s;
        }

        Object parseAll() {
            skipSpace();
            Object value = parseValue(0);
            skipSpace();
            if (pos != s.length()) {
                throw fail("unexpected text after the value");
            }
            return value;
        }

        private IllegalArgumentException fail(String what) {
            return new IllegalArgumentException(what + " at character " + pos);
        }

        private void skipSpace() {
            while (pos < s.length() && (s.charAt(pos) == ' ' || s.charAt(pos) == '\t' || s.charAt(pos) == '\r'
                                        || s.charAt(pos) == '\n')) {
                ++pos;
            }
        }

        private Object parseValue(int depth) {
            if (depth > MAX_DEPTH) {
                throw fail("nested too deeply");
            }
            if (pos >= s.length()) {
                throw fail("unexpected end of line");
            }
            char c = s.charAt(pos);
            switch (c) {
                case 'n': literal("null"); return null;
                case 't': literal("true"); return Boolean.TRUE;
                case 'f': literal("false"); return Boolean.FALSE;
                case '"': return parseString();
                case '[': return parseArray(depth);
                case '{': return parseObject(depth);
                default:
                    if (c == '-' || (c >= '0' && c <= '9')) {
                        return parseNumber();
                    }
                    throw fail("unexpected character");
            }
        }

        private void literal(String word) {
            if (!s.startsWith(word, pos)) {
                throw fail("invalid literal");
            }
            pos += word.length();
        }

        private boolean digit() {
            return pos < s.length() && s.charAt(pos) >= '0' && s.charAt(pos) <= '9';
        }

        private Number parseNumber() {
            int start = pos;
            if (s.charAt(pos) == '-') {
                ++pos;
            }
            if (!digit()) {
                throw fail("invalid number");
            }
            if (s.charAt(pos) == '0') {
                ++pos;
            } else {
                while (digit()) {
                    ++pos;
                }
            }
            if (pos < s.length() && s.charAt(pos) == '.') {
                ++pos;
                if (!digit()) {
                    throw fail("invalid number");
                }
                while (digit()) {
                    ++pos;
                }
            }
            if (pos < s.length() && (s.charAt(pos) == 'e' || s.charAt(pos) == 'E')) {
                ++pos;
                if (pos < s.length() && (s.charAt(pos) == '+' || s.charAt(pos) == '-')) {
                    ++pos;
                }
                if (!digit()) {
                    throw fail("invalid number");
                }
                while (digit()) {
                    ++pos;
                }
            }
            return new Number(s.substring(start, pos));
        }

        private String parseString() {
            ++pos;
            StringBuilder out = new StringBuilder();
            while (true) {
                if (pos >= s.length()) {
                    throw fail("unterminated string");
                }
                char c = s.charAt(pos++);
                if (c == '"') {
                    return out.toString();
                }
                if (c < 0x20) {
                    throw fail("control character in a string");
                }
                if (c != '\\') {
                    out.append(c);
                    continue;
                }
                if (pos >= s.length()) {
                    throw fail("unterminated escape");
                }
                char e = s.charAt(pos++);
                switch (e) {
                    case '"': out.append('"'); break;
                    case '\\': out.append('\\'); break;
                    case '/': out.append('/'); break;
                    case 'b': out.append('\b'); break;
                    case 'f': out.append('\f'); break;
                    case 'n': out.append('\n'); break;
                    case 'r': out.append('\r'); break;
                    case 't': out.append('\t'); break;
                    case 'u': {
                        if (pos + 4 > s.length()) {
                            throw fail("short \\u escape");
                        }
                        int unit = 0;
                        for (int k = 0; k < 4; ++k) {
                            int h = Character.digit(s.charAt(pos + k), 16);
                            if (h < 0) {
                                throw fail("invalid \\u escape");
                            }
                            unit = unit * 16 + h;
                        }
                        pos += 4;
                        out.append((char) unit);
                        break;
                    }
                    default:
                        throw fail("invalid escape");
                }
            }
        }

        private List<Object> parseArray(int depth) {
            ++pos;
            List<Object> items = new ArrayList<>();
            skipSpace();
            if (pos < s.length() && s.charAt(pos) == ']') {
                ++pos;
                return items;
            }
            while (true) {
                skipSpace();
                items.add(parseValue(depth + 1));
                skipSpace();
                if (pos >= s.length()) {
                    throw fail("unterminated array");
                }
                char c = s.charAt(pos++);
                if (c == ']') {
                    return items;
                }
                if (c != ',') {
                    throw fail("expected , or ] in an array");
                }
            }
        }

        private Map<String, Object> parseObject(int depth) {
            ++pos;
            Map<String, Object> members = new LinkedHashMap<>();
            skipSpace();
            if (pos < s.length() && s.charAt(pos) == '}') {
                ++pos;
                return members;
            }
            while (true) {
                skipSpace();
                if (pos >= s.length() || s.charAt(pos) != '"') {
                    throw fail("expected a key");
                }
                String key = parseString();
                skipSpace();
                if (pos >= s.length() || s.charAt(pos) != ':') {
                    throw fail("expected :");
                }
                ++pos;
                skipSpace();
                members.put(key, parseValue(depth + 1));
                skipSpace();
                if (pos >= s.length()) {
                    throw fail("unterminated object");
                }
                char c = s.charAt(pos++);
                if (c == '}') {
                    return members;
                }
                if (c != ',') {
                    throw fail("expected , or } in an object");
                }
            }
        }

        // Writes `text` as a JSON string with every non-ASCII unit escaped, lone surrogates too.
        static void appendString(StringBuilder out, String text) {
            out.append('"');
            for (int i = 0; i < text.length(); ++i) {
                char c = text.charAt(i);
                switch (c) {
                    case '"': out.append("\\\""); break;
                    case '\\': out.append("\\\\"); break;
                    case '\n': out.append("\\n"); break;
                    case '\r': out.append("\\r"); break;
                    case '\t': out.append("\\t"); break;
                    default:
                        if (c >= 0x20 && c < 0x7F) {
                            out.append(c);
                        } else {
                            out.append(String.format("\\u%04x", (int) c));
                        }
                }
            }
            out.append('"');
        }
    }
}
