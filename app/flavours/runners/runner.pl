#!/usr/bin/perl
# Korvane's Perl runner: perl's own regex engine, driven over JSON lines on stdin/stdout
# (docs/flavour-runners.md). Offsets are characters of the decoded subject (code points), read
# from @- and @+ after each match of a `while (m//g)` loop. Patterns are compiled at run time
# under the rules of `use v5.12` and later (unicode_strings: \w and friends follow Unicode on
# every string, whatever its internal form); native flag d brings the old rules back. perl has
# no time limit inside the engine: the client's watchdog kills the runner.
# Covered by app/flavours/runners/tests.
use strict;
use warnings;
use feature 'unicode_strings';
use B ();
use JSON::PP ();

$| = 1;
binmode STDOUT;
binmode STDIN;
# Warnings from a user's pattern ("Unrecognized escape", "Quantifier unexpected on zero-length
# expression") go to stderr, never to the protocol stream.
$SIG{__WARN__} = sub { print STDERR "runner.pl: $_[0]" };

# ascii: every line out is pure ASCII (non-ASCII characters as \u escapes).
my $json = JSON::PP->new->ascii->canonical;
my $decoder = JSON::PP->new->utf8;

sub send_line { print $json->encode($_[0]), "\n"; }

# A message from perl or JSON::PP without the runner's own file and line at its end.
sub without_place {
    my ($message) = @_;
    $message =~ s/ at \S+ line \d+(?:, <\w+> (?:line|chunk) \d+)?\.?\n?\z//;
    return $message;
}

# True for a scalar that JSON::PP decoded from a JSON string (not a number, not a reference).
sub is_json_string {
    my ($value) = @_;
    return 0 if !defined $value || ref $value;
    return (B::svref_2object(\$value)->FLAGS & (B::SVp_IOK | B::SVp_NOK)) == 0;
}

send_line({hello => 'korvane-runner', protocol => 1, flavour => 'perl', engine => 'perl',
           version => sprintf('%vd', $^V), unit => 'codepoint', surrogates => JSON::PP::false});

my %generic = map { $_ => $_ } qw(i m s x);
# The modifiers an inline (?...) group takes; x twice is xx.
my %native = map { $_ => 1 } qw(a d l u n i m s x);

# The named groups with their numbers, read from the pattern text (perl gives the names but not
# the number of each). A group opens at "(" not followed by "?" or "*", or at (?<n>, (?'n') or
# (?P<n>). Escapes, classes, (?#...) comments and, under x, # comments are skipped. A branch
# reset (?|...) renumbers its branches; it is not followed here.
sub named_groups {
    my ($source, $extended) = @_;
    my @names;
    my $number = 0;
    my $n = length $source;
    for (my $i = 0; $i < $n; ++$i) {
        my $c = substr($source, $i, 1);
        if ($c eq '\\') { ++$i; next; }
        if ($c eq '[') {
            ++$i;
            ++$i if $i < $n && substr($source, $i, 1) eq '^';
            ++$i if $i < $n && substr($source, $i, 1) eq ']';
            while ($i < $n) {
                my $d = substr($source, $i, 1);
                if ($d eq '\\') { $i += 2; next; }
                if ($d eq '[' && substr($source, $i + 1, 1) =~ /[:.=]/) {
                    my $close = index($source, substr($source, $i + 1, 1) . ']', $i + 2);
                    $i = $close < 0 ? $n : $close + 2;
                    next;
                }
                last if $d eq ']';
                ++$i;
            }
            next;
        }
        if ($c eq '#' && $extended) {
            my $nl = index($source, "\n", $i);
            $i = $nl < 0 ? $n : $nl;
            next;
        }
        next unless $c eq '(';
        my $rest = substr($source, $i + 1, 3);
        if ($rest =~ /^\?#/) {
            my $close = index($source, ')', $i);
            $i = $close < 0 ? $n : $close;
        } elsif ($rest =~ /^(?:\?<(?![=!])|\?'|\?P<)/) {
            ++$number;
            my $start = $i + 1 + length($&);
            my $end = $start;
            ++$end while $end < $n && substr($source, $end, 1) =~ /\w/;
            push @names, [substr($source, $start, $end - $start), $number];
        } elsif ($rest !~ /^[?*]/) {
            ++$number;
        }
    }
    return \@names;
}

sub utf16_length {
    my ($text) = @_;
    my $astral = () = $text =~ /[^\x{0}-\x{FFFF}]/g;
    return length($text) + $astral;
}

sub compile_pattern {
    my ($request) = @_;
    my $modifiers = '';
    for my $letter (split //, $request->{flags}) {
        die { message => "Perl has no $letter flag" } unless $generic{$letter};
        $modifiers .= $letter;
    }
    for my $letter (split //, $request->{native_flags}) {
        die { message => "Perl has no $letter modifier" } unless $native{$letter};
        $modifiers .= $letter;
    }
    my $prefix = $modifiers eq '' ? '' : "(?$modifiers)";
    my $pattern = $request->{pattern};
    my $re = eval { qr/$prefix$pattern/ };
    if (!defined $re) {
        my $error = $@;
        my $offset = -1;
        # perl marks the place: "... in regex; marked by <-- HERE in m/ab( <-- HERE c/ at ..."
        if ($error =~ m{ in m/(.*?) <-- HERE }s) {
            my $before = length($1) - length($prefix);
            $offset = utf16_length(substr($pattern, 0, $before)) if $before >= 0 && $before <= length $pattern;
        }
        $error = without_place($error);
        die { message => $error, offset => $offset };
    }
    # The group count: an empty first alternative always matches, and $#+ is the number of groups
    # of the pattern that matched last.
    "" =~ /|(?:$re\n)/ or die { message => 'cannot count the groups' };
    my $groups = $#+;
    my $names = named_groups($pattern, $modifiers =~ /x/);
    return ($re, $groups, $names);
}

sub find_all {
    my ($re, $subject, $groups, $max) = @_;
    my @matches;
    while ($subject =~ /$re/g) {
        return (\@matches, 1) if @matches == $max;
        my @flat = ($-[0], $+[0]);
        for my $g (1 .. $groups) {
            push @flat, defined $-[$g] ? ($-[$g], $+[$g]) : (-1, -1);
        }
        push @matches, \@flat;
    }
    return (\@matches, 0);
}

sub bad_request { die { bad => $_[0] } }

sub check_request {
    my ($request) = @_;
    bad_request('not a JSON object') unless ref $request eq 'HASH';
    bad_request('pattern must be a string') unless is_json_string($request->{pattern});
    my $subjects = $request->{subjects};
    bad_request('subjects must be an array of strings or nulls')
        unless ref $subjects eq 'ARRAY' && !grep { defined $_ && !is_json_string($_) } @$subjects;
    for my $key (qw(flags native_flags)) {
        $request->{$key} //= '';
        bad_request("$key must be a string") unless is_json_string($request->{$key});
    }
    for my $key (qw(timeout_ms max_matches)) {
        $request->{$key} //= $key eq 'max_matches' ? 10000 : 1000;
        bad_request("$key must be a number of at least 0")
            unless !ref $request->{$key} && $request->{$key} =~ /^\d+(?:\.\d*)?(?:[eE][+]?\d+)?\z/;
    }
}

sub serve {
    my ($line) = @_;
    my $request = eval { $decoder->decode($line) };
    if (!defined $request && $@) {
        my $why = without_place($@);
        send_line({id => undef, fatal => "bad request: $why"});
        return;
    }
    my $id = ref $request eq 'HASH' ? $request->{id} : undef;
    eval { check_request($request); 1 } or do {
        my $e = $@;
        die $e unless ref $e eq 'HASH' && $e->{bad};
        send_line({id => $id, fatal => "bad request: $e->{bad}"});
        return;
    };
    my ($re, $groups, $names);
    eval { ($re, $groups, $names) = compile_pattern($request); 1 } or do {
        my $e = $@;
        my $message = ref $e eq 'HASH' ? $e->{message} : "$e";
        my $offset = ref $e eq 'HASH' && defined $e->{offset} ? $e->{offset} : -1;
        send_line({id => $id, compiled => JSON::PP::false, error => $message, offset => $offset + 0});
        send_line({id => $id, done => JSON::PP::true});
        return;
    };
    send_line({id => $id, compiled => JSON::PP::true, groups => $groups + 0, names => $names});
    my $index = 0;
    for my $subject (@{$request->{subjects}}) {
        if (!defined $subject) {
            send_line({id => $id, subject => $index++, status => 'skipped'});
            next;
        }
        my ($matches, $truncated);
        if (eval { ($matches, $truncated) = find_all($re, $subject, $groups, int $request->{max_matches}); 1 }) {
            send_line({id => $id, subject => $index, status => 'ok', matches => $matches,
                       truncated => $truncated ? JSON::PP::true : JSON::PP::false});
        } else {
            my $why = without_place("$@");
            send_line({id => $id, subject => $index, status => 'error', error => $why});
        }
        ++$index;
    }
    send_line({id => $id, done => JSON::PP::true});
}

while (my $line = <STDIN>) {
    next if $line =~ /^\s*$/;
    eval { serve($line); 1 } or do {
        my $why = ref $@ ? 'internal error' : "$@";
        print STDERR "runner.pl: $why\n";
        send_line({id => undef, fatal => "runner fault: $why"});
    };
}
exit 0;
