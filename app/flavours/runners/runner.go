// Korvane's Go runner: the standard library's regexp package, driven over JSON lines on stdin and
// stdout (docs/flavour-runners.md). Started as `go run runner.go`: the go tool compiles it on the
// first start and keeps the result in its build cache.
//
// Offsets are UTF-8 bytes of the subject, as Go indexes a string. Go's JSON reader would turn a
// lone surrogate into U+FFFD without a word, so a request that holds one is refused (Korvane
// sends null in its place). The engine runs in time linear in the text: no time limit is needed.
// Covered by app/flavours/runners/tests.
package main

import (
	"bufio"
	"bytes"
	"encoding/json"
	"fmt"
	"os"
	"regexp"
	"runtime"
	"strings"
	"unicode/utf8"
)

var out = bufio.NewWriter(os.Stdout)

func send(v interface{}) {
	line, err := json.Marshal(v)
	if err != nil {
		line = []byte(`{"id":null,"fatal":"runner failed: cannot write an answer"}`)
	}
	out.Write(line)
	out.WriteByte('\n')
	out.Flush()
}

type badRequest string

// hasLoneSurrogate tells whether a JSON text escapes a surrogate that is not half of a pair.
func hasLoneSurrogate(raw []byte) bool {
	unit := func(i int) (rune, bool) {
		if i+6 > len(raw) || raw[i] != '\\' || raw[i+1] != 'u' {
			return 0, false
		}
		var v rune
		for _, c := range raw[i+2 : i+6] {
			switch {
			case c >= '0' && c <= '9':
				v = v*16 + rune(c-'0')
			case c >= 'a' && c <= 'f':
				v = v*16 + rune(c-'a'+10)
			case c >= 'A' && c <= 'F':
				v = v*16 + rune(c-'A'+10)
			default:
				return 0, false
			}
		}
		return v, true
	}
	for i := 0; i < len(raw); i++ {
		if raw[i] != '\\' {
			continue
		}
		v, ok := unit(i)
		if !ok {
			i++ // an escape of one character (\\ \" \n ...)
			continue
		}
		switch {
		case v >= 0xD800 && v <= 0xDBFF:
			low, ok := unit(i + 6)
			if !ok || low < 0xDC00 || low > 0xDFFF {
				return true
			}
			i += 11
		case v >= 0xDC00 && v <= 0xDFFF:
			return true
		default:
			i += 5
		}
	}
	return false
}

type request struct {
	id          json.RawMessage
	pattern     string
	flags       string
	nativeFlags string
	subjects    []*string
	timeoutMs   float64
	maxMatches  int
}

func field(fields map[string]json.RawMessage, name string, into interface{}) bool {
	raw, ok := fields[name]
	if !ok {
		return false
	}
	if err := json.Unmarshal(raw, into); err != nil {
		panic(badRequest(name + " has the wrong type"))
	}
	return true
}

func parse(line []byte) (req request, fatal string) {
	req.id = json.RawMessage("null")
	defer func() {
		if r := recover(); r != nil {
			if b, ok := r.(badRequest); ok {
				fatal = "bad request: " + string(b)
				return
			}
			panic(r)
		}
	}()
	if !utf8.Valid(line) {
		panic(badRequest("not UTF-8"))
	}
	var fields map[string]json.RawMessage
	if err := json.Unmarshal(line, &fields); err != nil || fields == nil {
		panic(badRequest("not a JSON object"))
	}
	if id, ok := fields["id"]; ok {
		req.id = id
	}
	if hasLoneSurrogate(line) {
		panic(badRequest("a lone surrogate: Go's strings cannot hold it"))
	}
	var pattern *string
	if !field(fields, "pattern", &pattern) || pattern == nil {
		panic(badRequest("pattern must be a string"))
	}
	req.pattern = *pattern
	if !field(fields, "subjects", &req.subjects) || req.subjects == nil {
		panic(badRequest("subjects must be an array of strings or nulls"))
	}
	field(fields, "flags", &req.flags)
	field(fields, "native_flags", &req.nativeFlags)
	req.timeoutMs = 1000
	var number *float64
	if field(fields, "timeout_ms", &number) {
		if number == nil || *number < 0 {
			panic(badRequest("timeout_ms must be a number of at least 0"))
		}
		req.timeoutMs = *number
	}
	req.maxMatches = 10000
	number = nil
	if field(fields, "max_matches", &number) {
		if number == nil || *number < 0 {
			panic(badRequest("max_matches must be a number of at least 0"))
		}
		req.maxMatches = int(*number)
	}
	return req, ""
}

func compile(req request) (*regexp.Regexp, error) {
	prefix := ""
	for _, letter := range req.flags {
		if !strings.ContainsRune("ims", letter) {
			return nil, fmt.Errorf("Go has no %c flag", letter)
		}
		prefix += string(letter)
	}
	for _, letter := range req.nativeFlags {
		// U: ungreedy, Go's own flag letter.
		if letter != 'U' {
			return nil, fmt.Errorf("Go regexp has no %c flag", letter)
		}
		prefix += string(letter)
	}
	if prefix != "" {
		prefix = "(?" + prefix + ")"
	}
	return regexp.Compile(prefix + req.pattern)
}

func serve(line []byte) {
	req, fatal := parse(line)
	if fatal != "" {
		send(map[string]interface{}{"id": req.id, "fatal": fatal})
		return
	}
	re, err := compile(req)
	if err != nil {
		send(map[string]interface{}{"id": req.id, "compiled": false, "error": err.Error(), "offset": -1})
		send(map[string]interface{}{"id": req.id, "done": true})
		return
	}
	names := [][]interface{}{}
	for number, name := range re.SubexpNames() {
		if name != "" {
			names = append(names, []interface{}{name, number})
		}
	}
	send(map[string]interface{}{"id": req.id, "compiled": true, "groups": re.NumSubexp(), "names": names})
	for index, subject := range req.subjects {
		if subject == nil {
			send(map[string]interface{}{"id": req.id, "subject": index, "status": "skipped"})
			continue
		}
		found := re.FindAllStringSubmatchIndex(*subject, req.maxMatches+1)
		truncated := len(found) > req.maxMatches
		if truncated {
			found = found[:req.maxMatches]
		}
		matches := [][]int{}
		for _, m := range found {
			matches = append(matches, m)
		}
		send(map[string]interface{}{"id": req.id, "subject": index, "status": "ok", "matches": matches, "truncated": truncated})
	}
	send(map[string]interface{}{"id": req.id, "done": true})
}

func main() {
	send(map[string]interface{}{"hello": "korvane-runner", "protocol": 1, "flavour": "go", "engine": "Go regexp",
		"version": runtime.Version(), "unit": "utf8", "surrogates": false})
	in := bufio.NewReaderSize(os.Stdin, 1<<20)
	for {
		line, err := in.ReadBytes('\n')
		trimmed := bytes.TrimSpace(line)
		if len(trimmed) > 0 {
			serve(trimmed)
		}
		if err != nil {
			return
		}
	}
}
