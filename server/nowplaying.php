<?php
// nowplaying.php: serves a now-playing file that MyFormHandler.php writes, so
// that a visitor never gets part of one file and part of the next. A web
// server that serves a file by its name may take its length before the
// handler replaces it and its bytes after; this script opens the file first
// and sends exactly what it opened. Use it in place of the file's address:
//   nowplaying.php                the image
//   nowplaying.php?file=text      the title as text
//   nowplaying.php?file=json      the JSON file, when the handler writes one
//   nowplaying.php?file=recent    its list of what played before, [] when
//                                 the handler keeps none
// It follows the file settings of MyFormHandler.config.php beside it; when you
// changed them in MyFormHandler.php itself, change the paths below too.

$files = [
    'image' => ['image_file', __DIR__ . '/nowplaying.png', 'image/png'],
    'text' => ['text_file', __DIR__ . '/nowplaying.txt', 'text/plain; charset=utf-8'],
    'json' => ['json_file', __DIR__ . '/nowplaying.json', 'application/json'],
    'recent' => ['json_file', __DIR__ . '/nowplaying.json', 'application/json'],
];

// The names MyFormHandler.php never writes (its SCRIPT_OR_PAGE and
// HANDLER_FILES): a setting that names one, such as the settings file itself,
// must not make this script send it.
const SCRIPT_OR_PAGE = '/\.(php\d*|pht|phtml|phps|phar|html?|xhtml|shtml|svgz?)$|^\.ht|^\.user\.ini$|^web\.config$/i';
const HANDLER_FILES = ['myformhandler.php', 'myformhandler.config.php', 'myformhandler.config.example.php',
                       'nowplaying.php', 'overlay.html', 'readme.txt'];
const BROKEN_SETTINGS = 'MyFormHandler.config.php does not work; post a track to see why.';

ini_set('display_errors', '0');
while (ob_get_level() > 0) {
    ob_end_clean();
}
$answered = false;
// A settings file that exits would otherwise leave an empty 200 answer.
register_shutdown_function(function () {
    global $answered;
    if (!$answered) {
        refuse(500, BROKEN_SETTINGS);
    }
});

function refuse(int $status, string $line): void
{
    global $answered;
    $answered = true;
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    http_response_code($status);
    header('Content-Type: text/plain; charset=us-ascii');
    header('Cache-Control: no-store');
    echo $line, "\n";
    exit;
}

$which = $_GET['file'] ?? 'image';
if (!is_string($which) || !isset($files[$which])) {
    refuse(404, 'Ask for file=image, file=text, file=json or file=recent.');
}
[$setting, $path, $type] = $files[$which];
$origin = '';

$local = __DIR__ . '/MyFormHandler.config.php';
if (is_file($local)) {
    ob_start();
    try {
        $changes = require $local;
    } catch (Throwable $e) {
        $changes = null;
    }
    ob_end_clean();
    if (!is_array($changes)) {
        refuse(500, BROKEN_SETTINGS);
    }
    if (isset($changes[$setting]) && is_string($changes[$setting]) && $changes[$setting] !== '') {
        $path = $changes[$setting];
    }
    $origin = $changes['json_allow_origin'] ?? '';
}
// As the handler does: a name without a folder is in this folder.
if (!preg_match('~^([\\\\/]|[A-Za-z]:[\\\\/])~', $path)) {
    $path = __DIR__ . '/' . $path;
}
if (preg_match(SCRIPT_OR_PAGE, basename($path)) || in_array(strtolower(basename($path)), HANDLER_FILES, true)
    || str_contains($path, "\0")) {
    refuse(500, BROKEN_SETTINGS);
}

// Only a plain file is sent: a FIFO would hang the request, and the handler
// never writes through a link.
$status = @lstat($path);
$handle = $status !== false && ($status['mode'] & 0170000) === 0100000 ? @fopen($path, 'rb') : false;
if ($handle === false) {
    refuse(404, 'Nothing has been stored yet.');
}
// The list comes from the same opened file, so it is always one post's.
// It is encoded afresh, escaped as the handler escapes, so that even a
// hand-edited file sends no markup in the clear.
$list = null;
if ($which === 'recent') {
    $stored = json_decode((string)stream_get_contents($handle), true);
    $recent = is_array($stored) ? ($stored['recent'] ?? []) : [];
    $list = json_encode(is_array($recent) ? array_values($recent) : [], JSON_UNESCAPED_SLASHES
        | JSON_UNESCAPED_UNICODE | JSON_HEX_TAG | JSON_HEX_AMP | JSON_HEX_APOS | JSON_HEX_QUOT) . "\n";
}
$answered = true;
header("Content-Type: $type");
header('Content-Length: ' . ($list === null ? fstat($handle)['size'] : strlen($list)));
header('Cache-Control: no-cache');
header('X-Content-Type-Options: nosniff');
// The handler checks this setting; a value it would refuse sends nothing.
if (in_array($which, ['json', 'recent'], true) && is_string($origin) && preg_match('~^(\*|https?://[A-Za-z0-9.-]+(:\d{1,5})?)\z~', $origin)) {
    header("Access-Control-Allow-Origin: $origin");
}
if ($list === null) {
    fpassthru($handle);
} else {
    echo $list;
}
