<?php
// Korvane's PHP runner: PHP's preg functions (the PCRE2 library PHP links), driven over JSON
// lines on stdin/stdout (docs/flavour-runners.md). Every pattern gets the u modifier, as PHP code
// that handles UTF-8 text writes it (UTF and Unicode properties for \d, \w and friends), so
// offsets are bytes of the UTF-8 subject and always fall on character boundaries. The time limit
// is PHP's own pcre.backtrack_limit: "Backtrack limit exhausted" is reported as a timeout.
// Covered by app/flavours/runners/tests.

ini_set('display_errors', 'stderr');
ini_set('log_errors', '0');
error_reporting(E_ALL);

function send_line(array $object): void
{
    // JSON_PARTIAL_OUTPUT_ON_ERROR: a message quoting bytes that are not UTF-8 loses them
    // rather than the whole line.
    fwrite(STDOUT, json_encode($object, JSON_PARTIAL_OUTPUT_ON_ERROR) . "\n");
}

send_line(['hello' => 'korvane-runner', 'protocol' => 1, 'flavour' => 'php', 'engine' => 'PHP preg (PCRE2)',
           'version' => PHP_VERSION . ' (PCRE ' . PCRE_VERSION . ')', 'unit' => 'utf8', 'surrogates' => false]);

// Korvane's letters map to PHP's modifiers of the same names.
const GENERIC_FLAGS = ['i' => 'i', 'm' => 'm', 's' => 's', 'x' => 'x'];
// PHP's own modifiers after the closing delimiter (u is always on).
const NATIVE_FLAGS = 'imsxuADSUXJn';

final class BadRequest extends Exception {}
final class PatternError extends Exception
{
    public int $offset;
    public function __construct(string $message, int $offset = -1)
    {
        parent::__construct($message);
        $this->offset = $offset;
    }
}

// The UTF-16 length of the first $bytes bytes of a UTF-8 text.
function utf16_length(string $text, int $bytes): int
{
    $prefix = substr($text, 0, $bytes);
    $units = 0;
    for ($i = 0, $n = strlen($prefix); $i < $n; ++$i) {
        $byte = ord($prefix[$i]);
        if (($byte & 0xC0) !== 0x80) $units += $byte >= 0xF0 ? 2 : 1;
    }
    return $units;
}

// Runs a preg call with PHP's warnings caught: a compile failure is a warning plus a false or
// null result, and its text carries the byte offset.
function preg_call(callable $call)
{
    $warning = null;
    set_error_handler(function (int $level, string $message) use (&$warning) {
        $warning = $message;
        return true;
    });
    try {
        $result = $call();
    } finally {
        restore_error_handler();
    }
    return [$result, $warning];
}

function compile_pattern(array $request): array
{
    $modifiers = 'u';
    foreach (str_split($request['flags']) as $letter) {
        if ($letter === '') continue;
        if (!isset(GENERIC_FLAGS[$letter])) throw new PatternError("PHP has no $letter flag");
        $modifiers .= GENERIC_FLAGS[$letter];
    }
    foreach (str_split($request['native_flags']) as $letter) {
        if ($letter === '') continue;
        if (strpos(NATIVE_FLAGS, $letter) === false) throw new PatternError("PHP has no $letter modifier");
        if (strpos($modifiers, $letter) === false) $modifiers .= $letter;
    }
    $pattern = $request['pattern'];
    // A delimiter the pattern does not hold, so that the pattern goes in unchanged.
    $delimiter = null;
    foreach (["\x01", "\x02", "\x03", "\x04", '~', '!', '%', '@', ';', ',', '`', '"', "'", '=', '/'] as $candidate) {
        if (strpos($pattern, $candidate) === false) { $delimiter = $candidate; break; }
    }
    if ($delimiter === null) throw new PatternError('the pattern holds every delimiter this runner can use');
    $regex = $delimiter . $pattern . $delimiter . $modifiers;
    // The group count and the numbers of the named groups: with the empty alternative first the
    // match always succeeds, and PREG_UNMATCHED_AS_NULL lists every group, each name just before
    // its number.
    // Start-of-pattern options such as (*LF) stay in front; \E ends a \Q that runs to the end.
    preg_match('/^(?:\(\*[A-Z_]+(?:=\d+)?\))*/', $pattern, $lead);
    $probe = $delimiter . $lead[0] . '|(?:' . substr($pattern, strlen($lead[0])) . "\\E\n)" . $delimiter . $modifiers;
    [$result, $warning] = preg_call(function () use ($regex) { return preg_match($regex, ''); });
    if ($result === false) {
        $message = $warning ?? preg_last_error_msg();
        $message = preg_replace('/^preg_match\(\): /', '', $message);
        $offset = -1;
        if (preg_match('/ at offset (\d+)$/', $message, $m)) $offset = utf16_length($pattern, (int) $m[1]);
        throw new PatternError($message, $offset);
    }
    [$result, $warning] = preg_call(function () use ($probe, &$keys) {
        return preg_match($probe, '', $keys, PREG_UNMATCHED_AS_NULL);
    });
    if ($result !== 1) throw new PatternError('cannot count the groups: ' . ($warning ?? preg_last_error_msg()));
    $names = [];
    $previous = null;
    foreach (array_keys($keys) as $key) {
        if (is_int($key) && is_string($previous)) $names[] = [$previous, $key];
        $previous = $key;
    }
    return [$regex, count(array_filter(array_keys($keys), 'is_int')) - 1, $names];
}

function check_request($request): void
{
    if (!is_array($request) || array_is_list($request) && $request !== []) throw new BadRequest('not a JSON object');
    if (!isset($request['pattern']) || !is_string($request['pattern'])) throw new BadRequest('pattern must be a string');
    $subjects = $request['subjects'] ?? null;
    if (!is_array($subjects) || !array_is_list($subjects)) throw new BadRequest('subjects must be an array of strings or nulls');
    foreach ($subjects as $s) {
        if ($s !== null && !is_string($s)) throw new BadRequest('subjects must be an array of strings or nulls');
    }
    foreach (['flags', 'native_flags'] as $key) {
        if (isset($request[$key]) && !is_string($request[$key])) throw new BadRequest("$key must be a string");
    }
    foreach (['timeout_ms', 'max_matches'] as $key) {
        if (isset($request[$key]) && (!(is_int($request[$key]) || is_float($request[$key])) || $request[$key] < 0)) {
            throw new BadRequest("$key must be a number of at least 0");
        }
    }
}

function serve(string $line): void
{
    $request = json_decode($line, true, 512);
    if ($request === null && json_last_error() !== JSON_ERROR_NONE) {
        send_line(['id' => null, 'fatal' => 'bad request: ' . json_last_error_msg()]);
        return;
    }
    $id = is_array($request) && array_key_exists('id', $request) ? $request['id'] : null;
    try {
        check_request($request);
    } catch (BadRequest $e) {
        send_line(['id' => $id, 'fatal' => 'bad request: ' . $e->getMessage()]);
        return;
    }
    $request['flags'] = $request['flags'] ?? '';
    $request['native_flags'] = $request['native_flags'] ?? '';
    $max = (int) ($request['max_matches'] ?? 10000);
    try {
        [$regex, $groups, $names] = compile_pattern($request);
    } catch (PatternError $e) {
        send_line(['id' => $id, 'compiled' => false, 'error' => $e->getMessage(), 'offset' => $e->offset]);
        send_line(['id' => $id, 'done' => true]);
        return;
    }
    send_line(['id' => $id, 'compiled' => true, 'groups' => $groups, 'names' => $names]);
    foreach ($request['subjects'] as $index => $subject) {
        if ($subject === null) {
            send_line(['id' => $id, 'subject' => $index, 'status' => 'skipped']);
            continue;
        }
        $found = null;
        [$count, $warning] = preg_call(function () use ($regex, $subject, &$found) {
            return preg_match_all($regex, $subject, $found,
                                  PREG_SET_ORDER | PREG_OFFSET_CAPTURE | PREG_UNMATCHED_AS_NULL);
        });
        if ($count === false) {
            $error = preg_last_error();
            if ($error === PREG_BACKTRACK_LIMIT_ERROR) {
                send_line(['id' => $id, 'subject' => $index, 'status' => 'timeout']);
            } else {
                send_line(['id' => $id, 'subject' => $index, 'status' => 'error',
                           'error' => $warning ?? preg_last_error_msg()]);
            }
            continue;
        }
        $matches = [];
        foreach ($found as $m) {
            if (count($matches) === $max) break;
            $flat = [];
            for ($g = 0; $g <= $groups; ++$g) {
                [$text, $start] = $m[$g] ?? [null, -1];
                if ($text === null) array_push($flat, -1, -1);
                else array_push($flat, $start, $start + strlen($text));
            }
            $matches[] = $flat;
        }
        send_line(['id' => $id, 'subject' => $index, 'status' => 'ok', 'matches' => $matches,
                   'truncated' => count($found) > $max]);
    }
    send_line(['id' => $id, 'done' => true]);
}

while (($line = fgets(STDIN)) !== false) {
    if (trim($line) === '') continue;
    try {
        serve($line);
    } catch (Throwable $e) {
        // A fault in the runner itself: say so and keep reading.
        fwrite(STDERR, 'runner.php: ' . $e . "\n");
        send_line(['id' => null, 'fatal' => 'runner fault: ' . $e->getMessage()]);
    }
}
exit(0);
