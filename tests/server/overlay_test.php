<?php
// Opens the shipped overlay.html in a headless Chromium, served by the same
// web server as the form handler, and checks that it shows the stored title,
// shows a newly posted one at its next look without reloading, never as
// markup, follows its address options, and shows a set-up line only when
// asked to. Then opens a copy as a local file (file://, no web server) beside
// the script data the plugin keeps with its title file, and checks the same
// of that route. With an artist and a song in the data it shows two lines,
// and from a local file the cover beside them, reloaded when it changes.
// Asked for, it lists what played before (from either source) and, from the
// local data, draws a progress bar that runs while playing and stands while
// paused, without loading the cover again; the stop text has no label.
// With a second argument it also saves a screenshot of the overlay over a
// stand-in scene there.
// Usage: php overlay_test.php [server folder [screenshot.png]]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';

const FORM = '/MyFormHandler.php?track=';
// Generous limits for what should take a second or two: a loaded machine
// must not fail the test. What the page promises is checked by counting its
// looks at the JSON file instead of by the clock.
const WAIT_SECONDS = 15;
// Run in the page before its own script: counts its looks at the file and
// their times, and notes at which look each title appeared.
const LOOK_COUNTER = <<<'JS'
    window.looks = [];
    window.titleAtLook = {};
    var pageFetch = window.fetch;
    window.fetch = function () { window.looks.push(performance.now()); return pageFetch.apply(this, arguments); };
    document.addEventListener('DOMContentLoaded', function () {
      var title = document.getElementById('title');
      new MutationObserver(function () {
        if (!(title.textContent in window.titleAtLook)) window.titleAtLook[title.textContent] = window.looks.length;
      }).observe(title, { childList: true, characterData: true, subtree: true });
    });
    JS;

// Drives Chromium over its DevTools pipe: commands go to its descriptor 3 and
// answers come from its descriptor 4, each a JSON text ended by a zero byte.
final class Browser
{
    private $process;
    private array $pipes = [];
    private string $profile;
    private int $nextId = 0;
    private string $pending = '';

    public function __construct()
    {
        $this->profile = sys_get_temp_dir() . '/tunewire-chromium-' . bin2hex(random_bytes(4));
        mkdir($this->profile);
        $this->process = proc_open([
            'chromium', '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--hide-scrollbars', '--window-size=900,120', "--user-data-dir=$this->profile",
            '--remote-debugging-pipe', 'about:blank',
        ], [0 => ['file', '/dev/null', 'r'], 1 => ['file', '/dev/null', 'w'], 2 => ['file', '/dev/null', 'w'],
            3 => ['pipe', 'r'], 4 => ['pipe', 'w']], $this->pipes);
        if (!is_resource($this->process)) {
            throw new RuntimeException('chromium did not start; run scripts/setup.sh');
        }
    }

    // Chromium ends by itself, children included, when its pipe closes; it
    // is stopped only if it has not within 5 s.
    public function __destruct()
    {
        fclose($this->pipes[3]);
        fclose($this->pipes[4]);
        $deadline = microtime(true) + 5;
        while (proc_get_status($this->process)['running'] && microtime(true) < $deadline) {
            usleep(50000);
        }
        proc_terminate($this->process);
        proc_close($this->process);
        exec('rm -rf ' . escapeshellarg($this->profile));
    }

    public function send(string $method, array $params = [], ?string $session = null): array
    {
        $id = ++$this->nextId;
        $message = ['id' => $id, 'method' => $method, 'params' => (object)$params];
        if ($session !== null) {
            $message['sessionId'] = $session;
        }
        fwrite($this->pipes[3], json_encode($message) . "\0");
        // Generous: Chromium answers slowly on a loaded machine.
        $deadline = microtime(true) + 60;
        while (microtime(true) < $deadline) {
            while (($end = strpos($this->pending, "\0")) !== false) {
                $answer = json_decode(substr($this->pending, 0, $end), true);
                $this->pending = substr($this->pending, $end + 1);
                if (($answer['id'] ?? null) === $id) {
                    if (isset($answer['error'])) {
                        throw new RuntimeException("$method: " . json_encode($answer['error']));
                    }
                    return $answer['result'];
                }
            }
            $read = [$this->pipes[4]];
            $none = [];
            if (stream_select($read, $none, $none, 1) > 0) {
                $chunk = fread($this->pipes[4], 1 << 16);
                if ($chunk === '' || $chunk === false) {
                    throw new RuntimeException('chromium closed its pipe');
                }
                $this->pending .= $chunk;
            }
        }
        throw new RuntimeException("$method: no answer from chromium");
    }

    // Opens a page in a tab of its own and returns the session that talks to
    // it; $script runs in the page before the page's own.
    public function open(string $url, string $script = ''): string
    {
        $target = $this->send('Target.createTarget', ['url' => 'about:blank'])['targetId'];
        $session = $this->send('Target.attachToTarget', ['targetId' => $target, 'flatten' => true])['sessionId'];
        if ($script !== '') {
            $this->send('Page.enable', [], $session);
            $this->send('Page.addScriptToEvaluateOnNewDocument', ['source' => $script], $session);
        }
        $this->send('Page.navigate', ['url' => $url], $session);
        return $session;
    }

    public function evaluate(string $session, string $expression)
    {
        $result = $this->send('Runtime.evaluate', ['expression' => $expression, 'returnByValue' => true], $session);
        return $result['result']['value'] ?? null;
    }

    // Waits until the expression gives the wanted value; returns the seconds
    // it took, or null when it never did within the limit.
    public function waitFor(string $session, string $expression, $wanted, float $limit): ?float
    {
        $start = microtime(true);
        do {
            if ($this->evaluate($session, $expression) === $wanted) {
                return microtime(true) - $start;
            }
            usleep(50000);
        } while (microtime(true) - $start < $limit);
        return null;
    }
}

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$screenshot = $argv[2] ?? null;
$checks = new Checks();

$page = file_get_contents("$serverFiles/overlay.html");
$checks->true('the page loads nothing from elsewhere',
              !preg_match('/\b(src|href)\s*=|@import|url\(|https?:\/\//i', $page));
$checks->equal('its one script address is the fixed name beside it, the other the cover\'s',
               ['setAttribute("src", address', 'setAttribute("src", kLocalScript'],
               preg_match_all('/setAttribute\("src", \w+/', $page, $found) ? $found[0] : []);

$server = new HandlerServer($serverFiles);
$server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
$server->request('POST', FORM, 'track=' . urlencode('First Artist - First Song'));

$browser = new Browser();
$title = "document.getElementById('title').textContent";
$tab = $browser->open("http://$server->address/overlay.html", LOOK_COUNTER);
$checks->true('shows the stored title', $browser->waitFor($tab, $title, 'First Artist - First Song', WAIT_SECONDS) !== null);
$browser->evaluate($tab, 'window.tunewireMark = 1');

$server->request('POST', FORM, 'track=' . urlencode('Second Artist - Second Song') . '&charset=utf-8');
$looksBefore = $browser->evaluate($tab, 'window.looks.length');
$seconds = $browser->waitFor($tab, $title, 'Second Artist - Second Song', WAIT_SECONDS);
$shownAt = $browser->evaluate($tab, "window.titleAtLook['Second Artist - Second Song']");
// The look under way when the post was answered may have missed it; the
// next one must not.
$checks->true("shows a new title at the next look (looks before the post $looksBefore, shown at $shownAt, "
              . var_export($seconds, true) . ' s)', $seconds !== null && is_int($shownAt) && is_int($looksBefore) && $shownAt <= $looksBefore + 1);
$checks->equal('changed in place, without reloading', 1, $browser->evaluate($tab, 'window.tunewireMark'));
$gaps = $browser->evaluate($tab, '(function (t) { var g = []; for (var i = 1; i < t.length; i++) g.push(t[i] - t[i - 1]); return g; })(window.looks)');
$checks->true('looks once a second by default (' . json_encode($gaps) . ' ms apart)', $gaps && min($gaps) >= 990);

$markup = '<img src=x onerror="window.ran=1"><b>Bold</b>';
$server->request('POST', FORM, 'track=' . urlencode($markup));
$checks->true('a title with markup shows as text', $browser->waitFor($tab, $title, $markup, WAIT_SECONDS) !== null);
$checks->equal('no element made from the title', [0, null],
               $browser->evaluate($tab, "[document.querySelectorAll('#title *').length, window.ran || null]"));

$unicode = "\u{5B87}\u{591A}\u{7530}\u{30D2}\u{30AB}\u{30EB} - \u{041A}\u{0438}\u{043D}\u{043E} \u{1F3B5}";
$server->request('POST', FORM, 'track=' . urlencode($unicode) . '&charset=utf-8');
$checks->true('a Unicode title shows whole, emoji included', $browser->waitFor($tab, $title, $unicode, WAIT_SECONDS) !== null);

// What the page shows: its layout, the first line, the second line, and
// the cover's width in pixels when one shows.
const VIEW = "[document.getElementById('box').className, document.getElementById('title').textContent,
    document.getElementById('song').textContent,
    (function (a) { return a.hidden ? 'none' : a.naturalWidth; })(document.getElementById('art'))].join('|')";

$looksBefore = $browser->evaluate($tab, 'window.looks.length');
$server->request('POST', FORM, 'track=' . urlencode('Tag Artist - Tag Song') . '&artist=Tag+Artist&album=&song=Tag+Song');
$seconds = $browser->waitFor($tab, VIEW, 'two|Tag Artist|Tag Song|none', WAIT_SECONDS);
$shownAt = $browser->evaluate($tab, "window.titleAtLook['Tag Artist']");
$checks->true("artist and song: two lines at the next look, no cover from a server (looks before $looksBefore, shown at $shownAt)",
              $seconds !== null && is_int($shownAt) && $shownAt <= $looksBefore + 1);
$checks->true('the song larger than the artist',
              $browser->evaluate($tab, "parseFloat(getComputedStyle(document.getElementById('second')).fontSize)
                  > parseFloat(getComputedStyle(document.getElementById('line')).fontSize)"));
file_put_contents("$server->folder/other.json", json_encode(['title' => 'T', 'artist' => 'A', 'song' => 'S',
                                                             'artwork' => "http://$server->address/overlay.html"]));
$other = $browser->open("http://$server->address/overlay.html?src=other.json");
$browser->waitFor($other, VIEW, 'two|A|S|none', WAIT_SECONDS);
$checks->equal('a served record names no image to load', ['two|A|S|none', null],
               [$browser->evaluate($other, VIEW), $browser->evaluate($other, "document.getElementById('art').getAttribute('src')")]);
$server->request('POST', FORM, 'track=' . urlencode($unicode) . '&charset=utf-8');
$checks->true('without the tags: one line again', $browser->waitFor($tab, VIEW, "|$unicode||none", WAIT_SECONDS) !== null);

$styled = $browser->open("http://$server->address/overlay.html?size=48&color=FF0000&align=right&label=Now%20playing:");
$browser->waitFor($styled, $title, $unicode, WAIT_SECONDS);
$checks->equal('address options: size, colour, alignment, label',
               ['48px', 'rgb(255, 0, 0)', 'right', 'Now playing:', 'rgba(0, 0, 0, 0)'],
               $browser->evaluate($styled, "(function () { var s = getComputedStyle(document.getElementById('line'));
                   return [s.fontSize, s.color, s.textAlign, document.getElementById('label').textContent,
                           getComputedStyle(document.body).backgroundColor]; })()"));

// What played before, from the handler's list in the JSON file the page
// reads anyway; the playing title (the list's first entry) is not repeated.
const RECENT = "Array.from(document.querySelectorAll('#recent li'), function (li) { return li.textContent; }).join('|')";
$server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json', 'recent' => 10];");
foreach (['Earlier One', 'Earlier Two', 'Now On Air'] as $posted) {
    $server->request('POST', FORM, 'track=' . urlencode($posted));
}
foreach (['recent=1' => 'Earlier Two', 'recent=2' => 'Earlier Two|Earlier One'] as $option => $listed) {
    $recent = $browser->open("http://$server->address/overlay.html?$option");
    $checks->true("from the handler, $option: $listed",
                  $browser->waitFor($recent, "[$title, " . RECENT . "].join('/')", "Now On Air/$listed", WAIT_SECONDS) !== null);
}

// Timers never fire early, so the gaps between looks are at least the
// interval asked for however loaded the machine is.
foreach (['every=3' => 2990, 'every=0' => 990, 'every=2&interval=250' => 1990] as $option => $least) {
    $tab = $browser->open("http://$server->address/overlay.html?$option", LOOK_COUNTER);
    $browser->waitFor($tab, 'window.looks.length >= 2', true, 2 * WAIT_SECONDS);
    $gap = $browser->evaluate($tab, 'window.looks[1] - window.looks[0]');
    $checks->true("$option: looks at least $least ms apart ($gap)", is_numeric($gap) && $gap >= $least);
}

// The set-up line: while the JSON file answers 404, and only with setup=1.
$fresh = new HandlerServer($serverFiles);
$hint = "document.getElementById('hint').textContent";
$setup = $browser->open("http://$fresh->address/overlay.html?setup=1", LOOK_COUNTER);
$live = $browser->open("http://$fresh->address/overlay.html", LOOK_COUNTER);
$checks->true('setup=1 without the JSON file: a line names the setting to make',
              $browser->waitFor($setup, "$hint.indexOf('json_file in MyFormHandler.config.php') >= 0", true, WAIT_SECONDS) !== null);
$browser->waitFor($live, 'window.looks.length >= 2', true, WAIT_SECONDS);
$checks->equal('without setup=1: no line, however long the file is missing', ['', ''],
               [$browser->evaluate($live, $hint), $browser->evaluate($live, $title)]);
$fresh->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
$fresh->request('POST', FORM, 'track=Set+Up');
$checks->true('setup=1 once the file is there: the title, and the line gone',
              $browser->waitFor($setup, "[$title, $hint].join('|')", 'Set Up|', WAIT_SECONDS) !== null);

// The local route: the page copied beside the plugin's data, opened as a
// file, with no web server at all. The data is written as the plugin writes
// it: the handler's JSON, set as one variable, replaced by rename.
const LOCAL_LOOK_COUNTER = <<<'JS'
    window.looks = [];
    new MutationObserver(function (changes) {
      changes.forEach(function (change) {
        change.addedNodes.forEach(function (node) {
          if (node.nodeName === 'SCRIPT' && node.getAttribute('src')) window.looks.push(performance.now());
        });
      });
    }).observe(document, { childList: true, subtree: true });
    JS;

function write_local_data(string $folder, string $title, array $more = []): void
{
    $json = json_encode(['title' => $title, 'stored' => gmdate('Y-m-d\TH:i:s\Z')] + $more,
        JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_HEX_TAG | JSON_HEX_AMP
        | JSON_HEX_APOS | JSON_HEX_QUOT);
    file_put_contents("$folder/nowplaying.js.new", "window.tunewireNowPlaying = $json;\n");
    rename("$folder/nowplaying.js.new", "$folder/nowplaying.js");
}

$local = sys_get_temp_dir() . '/tunewire-local-' . bin2hex(random_bytes(4));
mkdir($local);
copy("$serverFiles/overlay.html", "$local/overlay.html");
$hostile = "</script><img src=x onerror=\"window.ran=1\"><b>'Bold'</b> & \u{2028}\u{6708}\u{1F3B5}";
write_local_data($local, $hostile);
file_put_contents("$local/evil.js", 'window.ran = 2;');
$file = "file://$local/overlay.html";
$tab = $browser->open($file, LOCAL_LOOK_COUNTER);
$checks->true('file://: shows the title from the script beside it, as text',
              $browser->waitFor($tab, $title, $hostile, WAIT_SECONDS) !== null);
$checks->equal('file://: no element made from the title, nothing run', [0, null],
               $browser->evaluate($tab, "[document.querySelectorAll('#title *').length, window.ran || null]"));
$browser->evaluate($tab, 'window.tunewireMark = 1');
$looksBefore = $browser->evaluate($tab, 'window.looks.length');
$start = microtime(true);
write_local_data($local, 'Local Artist - Local Song');
$seconds = $browser->waitFor($tab, $title, 'Local Artist - Local Song', WAIT_SECONDS);
$checks->true('file://: a new title shows within a few looks, in place (' . var_export($seconds, true) . ' s, looks '
              . $looksBefore . ' to ' . $browser->evaluate($tab, 'window.looks.length') . ')',
              $seconds !== null && $browser->evaluate($tab, 'window.looks.length') <= $looksBefore + 4
              && $browser->evaluate($tab, 'window.tunewireMark') === 1);
// The scripts of the code-page tests, whose bytes the plugin writes whole.
$scripts = "\u{521D}\u{97F3} - \u{5343}\u{672C}\u{685C} / \u{5468}\u{6770}\u{4F26} / "
         . "\u{C544}\u{C774}\u{C720} / \u{041A}\u{0438}\u{043D}\u{043E} / Line\u{2028}Break";
write_local_data($local, $scripts);
$checks->true('file://: Japanese, Chinese, Korean, Cyrillic and a line separator show as they are',
              $browser->waitFor($tab, $title, $scripts, WAIT_SECONDS) !== null);
$browser->waitFor($tab, 'window.looks.length >= ' . ($looksBefore + 8), true, WAIT_SECONDS);
$checks->equal('file://: looks four times a second, each replacing the script before', [true, 1],
               $browser->evaluate($tab, '[(function (t) { for (var i = 1; i < t.length; i++) if (t[i] - t[i - 1] < 240) return false;
                   return t.length >= 8; })(window.looks), document.querySelectorAll("script[src]").length]'));

// Covers as the plugin names them: the file beside the page, or one
// elsewhere by its file:// address, each with the record's version after it.
function write_cover(string $path, int $side): void
{
    $image = imagecreatetruecolor($side, $side);
    imagepng($image, "$path.new");
    rename("$path.new", $path);
}
$elsewhere = sys_get_temp_dir() . '/tunewire-art ' . bin2hex(random_bytes(4));
mkdir($elsewhere);
write_cover("$local/cover.png", 4);
write_cover("$elsewhere/cover.png", 6);
$tags = ['artist' => 'Local Artist', 'album' => '', 'song' => 'Local Song'];
$covers = [
    // name => [the record's artwork, what the page shows]
    'the cover beside the page' => ['cover.png?v=1', 'two|Local Artist|Local Song|4'],
    'a replaced cover at its next version' => ['cover.png?v=2', 'two|Local Artist|Local Song|8'],
    'a cover elsewhere by its file:// address' => ['file://' . str_replace(' ', '%20', $elsewhere) . '/cover.png?v=3',
                                                   'two|Local Artist|Local Song|6'],
    'a cover that fails to load' => ['missing.png?v=4', 'two|Local Artist|Local Song|none'],
    'no cover' => [null, 'two|Local Artist|Local Song|none'],
];
foreach ($covers as $name => [$artwork, $view]) {
    if ($artwork === 'cover.png?v=2') {
        write_cover("$local/cover.png", 8);
    }
    write_local_data($local, 'Local Artist - Local Song', $tags + ['artwork' => $artwork]);
    $checks->true("file://, $name: $view", $browser->waitFor($tab, VIEW, $view, WAIT_SECONDS) !== null);
}
write_local_data($local, 'Local Artist - Local Song', ['line' => 'Local Song by Local Artist', 'artist' => '', 'song' => 'S']);
$checks->true('file://, a formatted line without an artist: one line',
              $browser->waitFor($tab, VIEW, '|Local Song by Local Artist||none', WAIT_SECONDS) !== null);

// The options of the local data: recent titles, progress, and the stop text
// without its label. The page counts each time the cover's address is set.
const COVER_SETS = <<<'JS'
    window.coverSets = 0;
    document.addEventListener('DOMContentLoaded', function () {
      new MutationObserver(function (changes) { window.coverSets += changes.length; })
        .observe(document.getElementById('art'), { attributeFilter: ['src'] });
    });
    JS;
// The bar as shown: none, hidden, or its look, width, time played and left.
const WIDTH = "parseFloat(document.getElementById('fill').style.width)";
const PROGRESS = "(function (p) { return p === null ? 'none' : p.hidden ? 'hidden' : [p.className || 'playing',
    Math.round(" . WIDTH . ") + '%', document.getElementById('elapsed').textContent,
    document.getElementById('remaining').textContent].join('|'); })(document.getElementById('progress'))";
$rich = $browser->open("$file?recent=2&progress=1&label=Now%20playing:", COVER_SETS);
$now = fn(int $ago = 0) => (int)(microtime(true) * 1000) - $ago;
$list = ['recent' => [['title' => 'C'], ['title' => 'B', 'line' => 'B formatted'], ['title' => 'A']]];
$playing = $tags + ['artwork' => 'cover.png?v=9', 'state' => 'playing', 'length' => 100] + $list;
write_local_data($local, 'C', ['position' => 10000, 'positionAt' => $now()] + $playing);
$browser->waitFor($rich, VIEW, 'two|Local Artist|Local Song|8', WAIT_SECONDS);
$checks->equal('file://, recent=2: the two before the playing track', 'B formatted|A', $browser->evaluate($rich, RECENT));
$width = $browser->evaluate($rich, WIDTH);
$checks->true("file://, progress=1, playing: the bar starts from the position ($width%)", $width >= 10 && $width < 50);
// A page that looks at the data once a minute, with a clock the test moves:
// the bar must follow the clock between looks.
$moved = $browser->open("$file?progress=1&every=60", 'window.clockShift = 0; var realNow = Date.now;
    Date.now = function () { return realNow() + window.clockShift; };');
$browser->waitFor($moved, WIDTH . ' >= 10', true, WAIT_SECONDS);
$width = $browser->evaluate($moved, WIDTH . '; window.clockShift = 20000; ' . WIDTH);
$checks->true("file://, progress=1, playing: the bar runs with the clock between looks (from $width%)",
              $browser->waitFor($moved, WIDTH . ' >= ' . ($width + 19), true, WAIT_SECONDS) !== null);
$coverSets = $browser->evaluate($rich, 'window.coverSets');
$steps = [
    // name => [position, positionAt, state, what the bar shows]
    'paused: stands at the position' => [30000, $now(5000), 'paused', 'paused|30%|0:30|-1:10'],
    'a seek past the end while playing: full, not beyond' => [99500, $now(5000), 'playing', 'playing|100%|1:40|-0:00'],
    'stopped: no bar' => [0, $now(), 'stopped', 'hidden'],
];
foreach ($steps as $name => [$position, $at, $state, $shown]) {
    write_local_data($local, 'C', ['position' => $position, 'positionAt' => $at, 'state' => $state] + $playing);
    $checks->true("file://, progress=1, $name", $browser->waitFor($rich, PROGRESS, $shown, WAIT_SECONDS) !== null);
}
usleep(300000);
$checks->equal('file://: the cover is not loaded again when only the progress changes',
               [$coverSets, 'two|Local Artist|Local Song|8'], [$browser->evaluate($rich, 'window.coverSets'), $browser->evaluate($rich, VIEW)]);
write_local_data($local, 'C', ['state' => 'playing', 'length' => 0, 'position' => 0, 'positionAt' => $now()] + $list);
$checks->true('file://, progress=1, a length of 0: no bar', $browser->waitFor($rich, PROGRESS, 'hidden', WAIT_SECONDS) !== null);
$checks->equal('file://, without the options: nothing of theirs', 0,
               $browser->evaluate($tab, "document.querySelectorAll('#recent, #progress').length"));

$label = "document.getElementById('label').textContent";
write_local_data($local, 'Music paused', ['state' => 'stoptext'] + $list);
$checks->true('file://, the stop text: no label, no bar, the list from its first entry',
              $browser->waitFor($rich, "[$label, $title, " . PROGRESS . ', ' . RECENT . "].join('/')",
                                '/Music paused/hidden/C|B formatted', WAIT_SECONDS) !== null);
write_local_data($local, 'Music paused', ['state' => 'playing']);
$checks->true('file://, the same text as a track: the label again',
              $browser->waitFor($rich, "[$label, $title].join('/')", 'Now playing:/Music paused', WAIT_SECONDS) !== null);
write_local_data($local, 'Local Artist - Local Song');

$evil = $browser->open("$file?src=evil.js&setup=1");
$browser->waitFor($evil, $title, 'Local Artist - Local Song', WAIT_SECONDS);
$checks->equal('file://: the address names no script to run', null, $browser->evaluate($evil, 'window.ran || null'));

$empty = sys_get_temp_dir() . '/tunewire-empty-' . bin2hex(random_bytes(4));
mkdir($empty);
copy("$serverFiles/overlay.html", "$empty/overlay.html");
$setup = $browser->open("file://$empty/overlay.html?setup=1");
$checks->true('file:// with setup=1 and no data: one line says where it looked',
              $browser->waitFor($setup, "$hint.indexOf('Nothing at $empty/nowplaying.js') === 0", true, WAIT_SECONDS) !== null);
$quiet = $browser->open("file://$empty/overlay.html", LOCAL_LOOK_COUNTER);
$browser->waitFor($quiet, 'window.looks.length >= 3', true, WAIT_SECONDS);
$checks->equal('file:// without setup=1: no line', '', $browser->evaluate($quiet, $hint));
exec('rm -rf ' . escapeshellarg($local) . ' ' . escapeshellarg($empty) . ' ' . escapeshellarg($elsewhere));

if ($screenshot !== null) {
    $server->request('POST', FORM, 'track=' . urlencode("\u{6708}\u{5149} - \u{591C}\u{306E}\u{8857}") . '&charset=utf-8');
    $shot = $browser->open("http://$server->address/overlay.html?label=Now%20playing:");
    $browser->send('Emulation.setDeviceMetricsOverride',
                   ['width' => 760, 'height' => 90, 'deviceScaleFactor' => 1, 'mobile' => false], $shot);
    $browser->waitFor($shot, $title, "\u{6708}\u{5149} - \u{591C}\u{306E}\u{8857}", WAIT_SECONDS);
    // A stand-in for a game or camera scene behind the transparent page.
    $browser->evaluate($shot, "document.documentElement.style.background = 'linear-gradient(120deg, #3a6186, #89253e)';
        document.getElementById('line').style.paddingTop = '0.6em'");
    usleep(300000);
    $png = $browser->send('Page.captureScreenshot', ['format' => 'png'], $shot)['data'];
    file_put_contents($screenshot, base64_decode($png));
}
exit($checks->finish());
