#!/usr/bin/ruby
# frozen_string_literal: true

# Korvane's Ruby runner: Onigmo as Ruby builds it, driven over JSON lines on stdin/stdout
# (docs/flavour-runners.md). Offsets are characters of the UTF-8 subject (code points), from
# MatchData#begin/#end inside String#scan. Ruby 3.1 has no regex time limit (Regexp.timeout
# came with 3.2): the client's watchdog kills the runner. A subject with a lone surrogate cannot
# be a valid UTF-8 String, so this runner says surrogates: false.
# Covered by app/flavours/runners/tests.
require 'json'

$stdout.sync = true
$stdin.binmode

def send_line(object)
  # ascii_only keeps every line ASCII, whatever a group name or message holds.
  $stdout.write(JSON.generate(object, ascii_only: true) + "\n")
end

send_line(hello: 'korvane-runner', protocol: 1, flavour: 'ruby', engine: 'Onigmo (Ruby)',
          version: RUBY_VERSION, unit: 'codepoint', surrogates: false)

# Korvane's letters: s (dot matches newline) is Ruby's m; Ruby's ^ and $ are always line
# anchors, so m is accepted and changes nothing.
GENERIC = { 'i' => Regexp::IGNORECASE, 'm' => 0, 's' => Regexp::MULTILINE, 'x' => Regexp::EXTENDED }.freeze
# Ruby's own letters, as written after /.../.
NATIVE = { 'i' => Regexp::IGNORECASE, 'm' => Regexp::MULTILINE, 'x' => Regexp::EXTENDED }.freeze

# A message for the protocol stream: Ruby's messages may quote bytes of the input that are not
# valid UTF-8, which JSON.generate refuses.
def text(message)
  message.to_s.dup.force_encoding(Encoding::UTF_8).scrub('?')
end

class BadRequest < StandardError; end
class CompileError < StandardError; end

def compile_pattern(request)
  options = 0
  request['flags'].each_char do |letter|
    raise CompileError, "Ruby has no #{letter} flag" unless GENERIC.key?(letter)

    options |= GENERIC[letter]
  end
  request['native_flags'].each_char do |letter|
    raise CompileError, "Ruby has no #{letter} option" unless NATIVE.key?(letter)

    options |= NATIVE[letter]
  end
  pattern = request['pattern']
  raise CompileError, 'pattern is not valid UTF-8' unless pattern.valid_encoding?

  re = Regexp.new(pattern, options)
  # The group count: an empty first alternative always matches, and the MatchData has one slot
  # per group (plain groups do not capture in a pattern with named ones, and are not counted).
  groups = Regexp.new("|(?:#{pattern}\n)", options).match('').size - 1
  names = re.named_captures.flat_map { |name, numbers| numbers.map { |n| [name, n] } }.sort_by { |_, n| n }
  [re, groups, names]
end

def find_all(re, subject, groups, max_matches)
  matches = []
  truncated = false
  subject.scan(re) do
    m = Regexp.last_match
    if matches.size == max_matches
      truncated = true
      break
    end
    flat = [m.begin(0), m.end(0)]
    (1..groups).each do |g|
      start = m.begin(g)
      flat.push(*(start.nil? ? [-1, -1] : [start, m.end(g)]))
    end
    matches << flat
  end
  [matches, truncated]
end

def check_request(request)
  raise BadRequest, 'not a JSON object' unless request.is_a?(Hash)
  raise BadRequest, 'pattern must be a string' unless request['pattern'].is_a?(String)

  subjects = request['subjects']
  unless subjects.is_a?(Array) && subjects.all? { |s| s.nil? || s.is_a?(String) }
    raise BadRequest, 'subjects must be an array of strings or nulls'
  end

  %w[flags native_flags].each do |key|
    request[key] = '' if request[key].nil?
    raise BadRequest, "#{key} must be a string" unless request[key].is_a?(String)
  end
  { 'timeout_ms' => 1000, 'max_matches' => 10_000 }.each do |key, default|
    request[key] = default if request[key].nil?
    value = request[key]
    raise BadRequest, "#{key} must be a number of at least 0" unless value.is_a?(Numeric) && value >= 0
  end
end

def serve(line)
  begin
    request = JSON.parse(line)
  rescue JSON::ParserError, EncodingError => e
    send_line(id: nil, fatal: "bad request: #{text(e.message)}")
    return
  end
  id = request.is_a?(Hash) ? request['id'] : nil
  begin
    check_request(request)
  rescue BadRequest => e
    send_line(id: id, fatal: "bad request: #{text(e.message)}")
    return
  end
  begin
    re, groups, names = compile_pattern(request)
  rescue CompileError, RegexpError, ArgumentError, EncodingError => e
    # Onigmo's messages name no position.
    send_line(id: id, compiled: false, error: text(e.message), offset: -1)
    send_line(id: id, done: true)
    return
  end
  send_line(id: id, compiled: true, groups: groups, names: names)
  request['subjects'].each_with_index do |subject, index|
    if subject.nil?
      send_line(id: id, subject: index, status: 'skipped')
      next
    end
    begin
      matches, truncated = find_all(re, subject, groups, request['max_matches'].to_i)
      send_line(id: id, subject: index, status: 'ok', matches: matches, truncated: truncated)
    rescue StandardError, SystemStackError => e
      send_line(id: id, subject: index, status: 'error', error: text(e.message))
    end
  end
  send_line(id: id, done: true)
end

$stdin.each_line do |raw|
  next if raw.strip.empty?

  line = raw.dup.force_encoding(Encoding::UTF_8)
  unless line.valid_encoding?
    send_line(id: nil, fatal: 'bad request: not UTF-8')
    next
  end

  begin
    serve(line)
  rescue StandardError => e
    # A fault in the runner itself: say so and keep reading.
    warn "runner.rb: #{e.full_message}"
    send_line(id: nil, fatal: "runner fault: #{text(e.message)}")
  end
end
exit 0
