<?php
// The handler's list of what played before ('recent'): off, the JSON file is
// written byte for byte as it always was; on, it holds the last N records,
// newest first, the first one always the stored title, also when 250 posts
// arrive at once; nowplaying.php?file=recent serves the list. Runs under the
// web server that TUNEWIRE_HANDLER_SERVER names (see handler_server.php).
// Usage: php recent_test.php [server folder]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';
require __DIR__ . '/answers.php';

const FORM = '/MyFormHandler.php?track=';
const FORM_TYPE = 'application/x-www-form-urlencoded';
const JSON_ON = "'json_file' => __DIR__ . '/nowplaying.json'";

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$checks = new Checks();

function stored_json(HandlerServer $server): array
{
    return (array)json_decode((string)@file_get_contents("$server->folder/nowplaying.json"), true);
}

function posts(array $titles, string $tags = ''): array
{
    return array_map(fn($title) => ['POST', FORM, 'track=' . urlencode($title) . $tags, FORM_TYPE], $titles);
}

// The bytes the handler wrote before the list existed, with the time as
// <stored>; off, whether unset or 0, they must not change.
function off_as_before(Checks $checks, string $serverFiles): void
{
    $rows = [
        // form => JSON file
        'track=A+-+S' => '{"title":"A - S","stored":"<stored>"}',
        'track=%3C%2Fx%3E+%26+%27a%27+%22b%22+%2F&artist=Caf%E9&album=&song=S' =>
            '{"title":"\u003C/x\u003E \u0026 \u0027a\u0027 \u0022b\u0022 /","stored":"<stored>","artist":"Caf' . "\u{E9}"
            . '","album":"","song":"S"}',
    ];
    $server = new HandlerServer($serverFiles);
    foreach (['unset' => '', '0' => ", 'recent' => 0"] as $name => $setting) {
        $server->configure("<?php return [" . JSON_ON . "$setting];");
        foreach ($rows as $form => $json) {
            $server->request('POST', FORM, $form);
            $raw = (string)file_get_contents("$server->folder/nowplaying.json");
            $checks->equal("recent $name, $form: the JSON file as before", "$json\n",
                           preg_replace('/"stored":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"/', '"stored":"<stored>"', $raw));
        }
        $answer = $server->request('GET', '/nowplaying.php?file=recent');
        $checks->equal("recent $name: nowplaying.php serves an empty list", [200, "[]\n"], [$answer['status'], $answer['body']]);
    }
}

function kept_in_order(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return [" . JSON_ON . "];");
    $server->request('POST', FORM, 'track=Before+the+list');
    $server->configure("<?php return [" . JSON_ON . ", 'recent' => 10];");
    $server->request('POST', FORM, 'track=T1');
    $checks->equal('turned on: the record before starts the list', ['T1', 'Before the list'],
                   array_column(stored_json($server)['recent'], 'title'));
    $titles = ['T2', 'T3', 'T3', 'T4', 'T5', 'T6', 'T7', 'T8', 'T9', 'T10', 'T11', 'T11'];
    foreach ($titles as $i => $title) {
        $server->request('POST', FORM, 'track=' . $title . '&artist=A+' . $i . '&album=&song=S%E9');
    }
    $json = stored_json($server);
    $checks->equal('ten of eleven titles, newest first, a title twice in a row once',
                   ['T11', 'T10', 'T9', 'T8', 'T7', 'T6', 'T5', 'T4', 'T3', 'T2'], array_column($json['recent'], 'title'));
    $checks->equal('the entries carry their tags, the repeated title its newer ones',
                   [['A 11', '', "S\u{E9}"], ['A 9', '', "S\u{E9}"], ['A 2', '', "S\u{E9}"]],
                   array_map(fn($e) => [$e['artist'], $e['album'], $e['song']], [$json['recent'][0], $json['recent'][1], $json['recent'][8]]));
    $checks->equal('the first entry is the record itself', array_diff_key($json, ['recent' => 1]), $json['recent'][0]);
    $answer = $server->request('GET', '/nowplaying.php?file=recent');
    $checks->equal('nowplaying.php serves the list', [200, $json['recent']], [$answer['status'], json_decode($answer['body'], true)]);

    // A hand-edited file: entries that are no records are dropped, and the
    // reader sends none of its markup in the clear.
    file_put_contents("$server->folder/nowplaying.json", json_encode(['title' => 'T11', 'stored' => 'x', 'recent' => [
        ['title' => '<b>', 'stored' => 'x', 'extra' => 1], 5, ['title' => ['no']], ['title' => 'T', 'stored' => 'y']]]));
    $checks->true('a hand-edited list: sent escaped',
                  !str_contains($server->request('GET', '/nowplaying.php?file=recent')['body'], '<'));
    $server->request('POST', FORM, 'track=New');
    $checks->equal('a hand-edited list: its records kept, the rest dropped',
                   [['title' => '<b>', 'stored' => 'x'], ['title' => 'T', 'stored' => 'y']], array_slice(stored_json($server)['recent'], 1));
}

// All posts at once: each builds on the list the one before left, so none
// is lost, and the list and the title always come from one post.
function posts_at_once(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return [" . JSON_ON . ", 'recent' => 50];");
    $first = array_map(fn($i) => "First $i", range(1, 40));
    $answers = $server->requestAll(posts($first));
    $checks->equal('40 posts at once: all accepted', array_fill(0, 40, 200), array_column($answers, 'status'));
    $titles = array_column(stored_json($server)['recent'], 'title');
    sort($titles);
    sort($first);
    $checks->equal('40 posts at once: none lost from the list', $first, $titles);

    $many = array_map(fn($i) => "Many $i", range(1, 250));
    $answers = $server->requestAll(posts($many, '&artist=A'));
    $checks->equal('250 posts at once: all accepted', array_fill(0, 250, 200), array_column($answers, 'status'));
    $json = stored_json($server);
    $recent = $json['recent'];
    $checks->equal('250 posts at once: the first entry is the stored title and record',
                   [file_get_contents("$server->folder/nowplaying.txt"), array_diff_key($json, ['recent' => 1])],
                   [$recent[0]['title'], $recent[0]]);
    $stored = array_column($recent, 'stored');
    $newestFirst = $stored;
    rsort($newestFirst);
    $checks->equal('250 posts at once: 50 different titles of these posts, newest first', [50, 50, [], $newestFirst],
                   [count($recent), count(array_unique(array_column($recent, 'title'))),
                    array_diff(array_column($recent, 'title'), $many), $stored]);
}

function refused(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    foreach (["[" . JSON_ON . ", 'recent' => 51]" => 'recent is not a whole number from 0 to 50',
              "[" . JSON_ON . ", 'recent' => -1]" => 'recent is not a whole number from 0 to 50',
              "[" . JSON_ON . ", 'recent' => 'ten']" => 'recent is not a whole number from 0 to 50',
              "['recent' => 5]" => 'recent needs json_file'] as $settings => $words) {
        $server->configure("<?php return $settings;");
        $answer = $server->request('POST', FORM, 'track=Song');
        $checks->true("$settings: refused ({$answer['body']})", $answer['status'] === 500
                      && is_one_line_reason($answer['body']) && str_contains($answer['body'], $words));
        $checks->equal("$settings: nothing written", [], $server->files());
    }
}

off_as_before($checks, $serverFiles);
kept_in_order($checks, $serverFiles);
posts_at_once($checks, $serverFiles);
refused($checks, $serverFiles);
exit($checks->finish());
