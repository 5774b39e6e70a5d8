<?php
// handler_bench.php: the form handler's own figures, printed as rows of the
// bench's table (figure, build, measured, goal, met): how long a post takes
// from sending to the answer, under PHP's built-in server on a loopback
// address, for a plain title and for the costliest titles a stranger can
// send. It serves the handler as the tests do (tests/server/handler_server.php).
// Usage: php handler_bench.php [server folder]

require dirname(__DIR__, 2) . '/tests/server/handler_server.php';

const FORM = '/MyFormHandler.php?track=';
const POSTS = 20;         // per figure: enough for a stable median and slowest
const GOAL_MS = 300;      // a stranger's post may not hold the server longer
const FONT_LIST = "['/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf',"
    . " '/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf',"
    . " '/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf']";

// Milliseconds of each post, sorted.
function post_times(HandlerServer $server, string $settings, string $form): array
{
    $server->configure("<?php return $settings;");
    $times = [];
    for ($i = 0; $i < POSTS; $i++) {
        $start = hrtime(true);
        $answer = $server->request('POST', FORM, $form);
        $times[] = (hrtime(true) - $start) / 1e6;
        if ($answer['status'] !== 200) {
            fwrite(STDERR, "handler_bench: the handler answered {$answer['status']}: {$answer['body']}");
            exit(1);
        }
    }
    sort($times);
    return $times;
}

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$server = new HandlerServer($serverFiles);
$figures = [
    // figure => [settings, form, with a goal]
    'Form handler post, "Connection Test"' => ['[]', 'track=Connection+Test', false],
    // The readme's font list for Debian.
    'Form handler post, ("a" + U+3042) x 195, font list'
        => ["['font' => " . FONT_LIST . "]", 'track=' . urlencode(str_repeat("a\u{3042}", 195)) . '&charset=utf-8', true],
    'Form handler post, "W" x 780, one font file'
        => ["['font' => '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf']", 'track=' . str_repeat('W', 780) . '&charset=utf-8', true],
];
foreach ($figures as $figure => [$settings, $form, $withGoal]) {
    $times = post_times($server, $settings, $form);
    $median = $times[intdiv(POSTS, 2)];
    $slowest = $times[POSTS - 1];
    printf("%s, median of %d\tPHP %s\t%.0f ms (slowest %.0f ms)\t%s\t%s\n", $figure, POSTS,
           PHP_MAJOR_VERSION . '.' . PHP_MINOR_VERSION, $median, $slowest,
           $withGoal ? '< ' . GOAL_MS . ' ms, slowest' : '', $withGoal ? ($slowest < GOAL_MS ? 'yes' : 'no') : '');
}
