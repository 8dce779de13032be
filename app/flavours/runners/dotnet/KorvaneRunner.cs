// KorvaneRunner.cs: the dotnet flavour's runner, System.Text.RegularExpressions (as Mono ships
// it) behind Korvane's JSON-lines protocol (a hello line, then one request a line on stdin,
// answers streamed on stdout). Offsets are UTF-16 units, as .NET strings count them. No
// libraries beyond System: the JSON reader and writer are the small ones below. Covered by
// app/flavours/runners/native/tests/runner_protocol_test.cpp.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Reflection;
using System.Text;
using System.Text.RegularExpressions;
using System.Threading;

public static class KorvaneRunner
{
    const int StackBytes = 512 << 20;
    static TextWriter output;

    public static int Main(string[] args)
    {
        output = new StreamWriter(Console.OpenStandardOutput(), new UTF8Encoding(false));
        // Deep backtracking recurses in the interpreter: a big stack keeps more matches alive.
        var loop = new Thread(Serve, StackBytes);
        loop.Start();
        loop.Join();
        return 0;
    }

    static void WriteLine(string line)
    {
        output.Write(line);
        output.Write('\n');
        output.Flush();
    }

    static string RuntimeVersion()
    {
        // Mono names itself through an internal method; other runtimes give Environment.Version.
        Type mono = Type.GetType("Mono.Runtime");
        if (mono != null) {
            MethodInfo name = mono.GetMethod("GetDisplayName", BindingFlags.NonPublic | BindingFlags.Static);
            if (name != null) {
                object shown = name.Invoke(null, null);
                if (shown != null)
                    return "Mono " + shown;
            }
        }
        return Environment.Version.ToString();
    }

    static void Serve()
    {
        var hello = new StringBuilder("{\"hello\":\"korvane-runner\",\"protocol\":1,\"flavour\":\"dotnet\",");
        hello.Append("\"engine\":\"System.Text.RegularExpressions\",\"version\":");
        Json.AppendString(hello, RuntimeVersion());
        hello.Append(",\"unit\":\"utf16\",\"surrogates\":true}");
        WriteLine(hello.ToString());
        var input = new StreamReader(Console.OpenStandardInput(), new UTF8Encoding(false));
        string line;
        while ((line = input.ReadLine()) != null) {
            if (line.Trim().Length == 0)
                continue;
            Handle(line);
        }
    }

    sealed class BadRequest : Exception
    {
        public readonly string Id;
        public BadRequest(string id, string message) : base(message) { Id = id; }
    }

    sealed class Request
    {
        public string Id;
        public string Pattern;
        public string Flags = "";
        public string NativeFlags = "";
        public List<string> Subjects = new List<string>();
        public long TimeoutMs = 1000;
        public long MaxMatches = 10000;
    }

    static void Handle(string line)
    {
        Request request;
        try {
            request = ParseRequest(line);
        } catch (BadRequest e) {
            var fatal = new StringBuilder("{\"id\":").Append(e.Id).Append(",\"fatal\":");
            Json.AppendString(fatal, "bad request: " + e.Message);
            WriteLine(fatal.Append('}').ToString());
            return;
        }
        string head = "{\"id\":" + request.Id;
        Regex regex;
        try {
            RegexOptions options = Options(request);
            TimeSpan timeout = TimeSpan.FromMilliseconds(Math.Max(1, Math.Min(request.TimeoutMs, int.MaxValue - 1)));
            regex = new Regex(request.Pattern, options, timeout);
        } catch (ArgumentException e) {
            // Mono gives no error position; the message names the pattern and the fault.
            var failed = new StringBuilder(head).Append(",\"compiled\":false,\"error\":");
            Json.AppendString(failed, e.Message);
            WriteLine(failed.Append(",\"offset\":-1}").ToString());
            WriteLine(head + ",\"done\":true}");
            return;
        }
        // Group numbers need not be consecutive ((?<7>x) is group 7), so the answer's groups are
        // the numbers in order, and a name is given with its place in that order (1 = the first
        // group after the whole match).
        int[] numbers = regex.GetGroupNumbers();
        var compiled = new StringBuilder(head).Append(",\"compiled\":true,\"groups\":").Append(numbers.Length - 1);
        compiled.Append(",\"names\":[");
        bool first = true;
        for (int place = 1; place < numbers.Length; ++place) {
            string name = regex.GroupNameFromNumber(numbers[place]);
            int ignored;
            if (int.TryParse(name, NumberStyles.None, CultureInfo.InvariantCulture, out ignored))
                continue;
            if (!first)
                compiled.Append(',');
            first = false;
            compiled.Append('[');
            Json.AppendString(compiled, name);
            compiled.Append(',').Append(place).Append(']');
        }
        WriteLine(compiled.Append("]}").ToString());
        for (int s = 0; s < request.Subjects.Count; ++s) {
            string subject = request.Subjects[s];
            string answer = head + ",\"subject\":" + s + ",\"status\":";
            if (subject == null) {
                WriteLine(answer + "\"skipped\"}");
                continue;
            }
            WriteLine(answer + RunSubject(regex, numbers, subject, request) + "}");
        }
        WriteLine(head + ",\"done\":true}");
    }

    // Generic letters first, then .NET's own: r = RightToLeft, n = ExplicitCapture,
    // e = ECMAScript. Any other letter is a compile error.
    static RegexOptions Options(Request request)
    {
        RegexOptions options = RegexOptions.None;
        foreach (char f in request.Flags) {
            switch (f) {
            case 'i': options |= RegexOptions.IgnoreCase; break;
            case 'm': options |= RegexOptions.Multiline; break;
            case 's': options |= RegexOptions.Singleline; break;
            case 'x': options |= RegexOptions.IgnorePatternWhitespace; break;
            default: throw new ArgumentException(".NET has no " + f + " flag");
            }
        }
        foreach (char f in request.NativeFlags) {
            switch (f) {
            case 'r': options |= RegexOptions.RightToLeft; break;
            case 'n': options |= RegexOptions.ExplicitCapture; break;
            case 'e': options |= RegexOptions.ECMAScript; break;
            default: throw new ArgumentException(".NET has no " + f + " option letter");
            }
        }
        return options;
    }

    static string RunSubject(Regex regex, int[] numbers, string subject, Request request)
    {
        var matches = new StringBuilder();
        long count = 0;
        bool truncated = false;
        try {
            foreach (Match m in regex.Matches(subject)) {
                if (count >= request.MaxMatches) {
                    truncated = true;
                    break;
                }
                if (count > 0)
                    matches.Append(',');
                ++count;
                matches.Append('[').Append(m.Index).Append(',').Append(m.Index + m.Length);
                for (int place = 1; place < numbers.Length; ++place) {
                    Group g = m.Groups[numbers[place]];
                    if (g.Success)
                        matches.Append(',').Append(g.Index).Append(',').Append(g.Index + g.Length);
                    else
                        matches.Append(",-1,-1");
                }
                matches.Append(']');
            }
        } catch (RegexMatchTimeoutException) {
            return "\"timeout\"";
        } catch (Exception e) {
            var error = new StringBuilder("\"error\",\"error\":");
            Json.AppendString(error, e.GetType().Name + ": " + e.Message);
            return error.ToString();
        }
        return "\"ok\",\"matches\":[" + matches + "],\"truncated\":" + (truncated ? "true" : "false");
    }

    static Request ParseRequest(string line)
    {
        object root;
        try {
            root = new Json(line).ParseAll();
        } catch (FormatException e) {
            throw new BadRequest("null", e.Message);
        }
        var obj = root as Dictionary<string, object>;
        if (obj == null)
            throw new BadRequest("null", "a request must be a JSON object");
        var request = new Request();
        object id;
        obj.TryGetValue("id", out id);
        if (id is Json.Number) {
            request.Id = ((Json.Number)id).Text;
        } else if (id is string) {
            var quoted = new StringBuilder();
            Json.AppendString(quoted, (string)id);
            request.Id = quoted.ToString();
        } else {
            throw new BadRequest("null", "id must be a number or a string");
        }
        object pattern;
        if (!obj.TryGetValue("pattern", out pattern) || !(pattern is string))
            throw new BadRequest(request.Id, "pattern must be a string");
        request.Pattern = (string)pattern;
        request.Flags = Letters(obj, "flags", request.Id);
        request.NativeFlags = Letters(obj, "native_flags", request.Id);
        object subjects;
        if (!obj.TryGetValue("subjects", out subjects) || !(subjects is List<object>))
            throw new BadRequest(request.Id, "subjects must be an array");
        foreach (object subject in (List<object>)subjects) {
            if (subject != null && !(subject is string))
                throw new BadRequest(request.Id, "each subject must be a string or null");
            request.Subjects.Add((string)subject);
        }
        request.TimeoutMs = Count(obj, "timeout_ms", 1000, request.Id);
        request.MaxMatches = Count(obj, "max_matches", 10000, request.Id);
        return request;
    }

    static string Letters(Dictionary<string, object> obj, string key, string id)
    {
        object value;
        if (!obj.TryGetValue(key, out value) || value == null)
            return "";
        if (!(value is string))
            throw new BadRequest(id, key + " must be a string");
        return (string)value;
    }

    static long Count(Dictionary<string, object> obj, string key, long fallback, string id)
    {
        object value;
        if (!obj.TryGetValue(key, out value))
            return fallback;
        var number = value as Json.Number;
        if (number == null || !(number.Value >= 0))
            throw new BadRequest(id, key + " must be a number of at least 0");
        return (long)Math.Min(number.Value, 1e15);
    }

    // Reads one JSON value: objects as Dictionary<string, object>, arrays as List<object>,
    // strings as string (a backslash-u escape is one UTF-16 unit, so lone surrogates survive),
    // numbers as Json.Number, true/false as bool, null as null. Throws FormatException with the
    // position on bad input.
    sealed class Json
    {
        public sealed class Number
        {
            public readonly string Text;
            public readonly double Value;
            public Number(string text)
            {
                Text = text;
                Value = double.Parse(text, NumberStyles.Float, CultureInfo.InvariantCulture);
            }
        }

        const int MaxDepth = 64;
        readonly string s;
        int pos;

        public Json(string text) { s = text; }

        public object ParseAll()
        {
            SkipSpace();
            object value = ParseValue(0);
            SkipSpace();
            if (pos != s.Length)
                throw Fail("unexpected text after the value");
            return value;
        }

        FormatException Fail(string what)
        {
            return new FormatException(what + " at character " + pos);
        }

        void SkipSpace()
        {
            while (pos < s.Length && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\r' || s[pos] == '\n'))
                ++pos;
        }

        object ParseValue(int depth)
        {
            if (depth > MaxDepth)
                throw Fail("nested too deeply");
            if (pos >= s.Length)
                throw Fail("unexpected end of line");
            char c = s[pos];
            switch (c) {
            case 'n': Literal("null"); return null;
            case 't': Literal("true"); return true;
            case 'f': Literal("false"); return false;
            case '"': return ParseString();
            case '[': return ParseArray(depth);
            case '{': return ParseObject(depth);
            }
            if (c == '-' || (c >= '0' && c <= '9'))
                return ParseNumber();
            throw Fail("unexpected character");
        }

        void Literal(string word)
        {
            if (string.CompareOrdinal(s, pos, word, 0, word.Length) != 0)
                throw Fail("invalid literal");
            pos += word.Length;
        }

        bool Digit() { return pos < s.Length && s[pos] >= '0' && s[pos] <= '9'; }

        Number ParseNumber()
        {
            int start = pos;
            if (s[pos] == '-')
                ++pos;
            if (!Digit())
                throw Fail("invalid number");
            if (s[pos] == '0')
                ++pos;
            else
                while (Digit()) ++pos;
            if (pos < s.Length && s[pos] == '.') {
                ++pos;
                if (!Digit())
                    throw Fail("invalid number");
                while (Digit()) ++pos;
            }
            if (pos < s.Length && (s[pos] == 'e' || s[pos] == 'E')) {
                ++pos;
                if (pos < s.Length && (s[pos] == '+' || s[pos] == '-'))
                    ++pos;
                if (!Digit())
                    throw Fail("invalid number");
                while (Digit()) ++pos;
            }
            return new Number(s.Substring(start, pos - start));
        }

        string ParseString()
        {
            ++pos;
            var output = new StringBuilder();
            while (true) {
                if (pos >= s.Length)
                    throw Fail("unterminated string");
                char c = s[pos++];
                if (c == '"')
                    return output.ToString();
                if (c < 0x20)
                    throw Fail("control character in a string");
                if (c != '\\') {
                    output.Append(c);
                    continue;
                }
                if (pos >= s.Length)
                    throw Fail("unterminated escape");
                char e = s[pos++];
                switch (e) {
                case '"': output.Append('"'); break;
                case '\\': output.Append('\\'); break;
                case '/': output.Append('/'); break;
                case 'b': output.Append('\b'); break;
                case 'f': output.Append('\f'); break;
                case 'n': output.Append('\n'); break;
                case 'r': output.Append('\r'); break;
                case 't': output.Append('\t'); break;
                case 'u': {
                    if (pos + 4 > s.Length)
                        throw Fail("short \\u escape");
                    int unit;
                    if (!int.TryParse(s.Substring(pos, 4), NumberStyles.AllowHexSpecifier, CultureInfo.InvariantCulture, out unit))
                        throw Fail("invalid \\u escape");
                    pos += 4;
                    output.Append((char)unit);
                    break;
                }
                default:
                    throw Fail("invalid escape");
                }
            }
        }

        List<object> ParseArray(int depth)
        {
            ++pos;
            var items = new List<object>();
            SkipSpace();
            if (pos < s.Length && s[pos] == ']') {
                ++pos;
                return items;
            }
            while (true) {
                SkipSpace();
                items.Add(ParseValue(depth + 1));
                SkipSpace();
                if (pos >= s.Length)
                    throw Fail("unterminated array");
                char c = s[pos++];
                if (c == ']')
                    return items;
                if (c != ',')
                    throw Fail("expected , or ] in an array");
            }
        }

        Dictionary<string, object> ParseObject(int depth)
        {
            ++pos;
            var members = new Dictionary<string, object>();
            SkipSpace();
            if (pos < s.Length && s[pos] == '}') {
                ++pos;
                return members;
            }
            while (true) {
                SkipSpace();
                if (pos >= s.Length || s[pos] != '"')
                    throw Fail("expected a key");
                string key = ParseString();
                SkipSpace();
                if (pos >= s.Length || s[pos] != ':')
                    throw Fail("expected :");
                ++pos;
                SkipSpace();
                members[key] = ParseValue(depth + 1);
                SkipSpace();
                if (pos >= s.Length)
                    throw Fail("unterminated object");
                char c = s[pos++];
                if (c == '}')
                    return members;
                if (c != ',')
                    throw Fail("expected , or } in an object");
            }
        }

        // Writes `text` as a JSON string with every non-ASCII unit escaped, lone surrogates too.
        public static void AppendString(StringBuilder output, string text)
        {
            output.Append('"');
            foreach (char c in text) {
                switch (c) {
                case '"': output.Append("\\\""); break;
                case '\\': output.Append("\\\\"); break;
                case '\n': output.Append("\\n"); break;
                case '\r': output.Append("\\r"); break;
                case '\t': output.Append("\\t"); break;
                default:
                    if (c >= 0x20 && c < 0x7F)
                        output.Append(c);
                    else
                        output.Append("\\u").Append(((int)c).ToString("x4", CultureInfo.InvariantCulture));
                    break;
                }
            }
            output.Append('"');
        }
    }
}
