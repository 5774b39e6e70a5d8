<?php
// nowplaying.php: serves a now-playing file that MyFormHandler.php writes, so
// that a visitor never gets part of one file and part of the next. A web
// server that serves a file by its name may take its length before the
// handler replaces it and its bytes after; this script opens the file first
// and sends exactly what it opened. Use it in place of the file's address:
//   nowplaying.php                the image
//   nowplaying.php?file=text      the title as text
//   nowplaying.php?file=json      the JSON file, when the handler writes one
// It follows the file settings of MyFormHandler.config.php beside it; when you
// changed them in MyFormHandler.php itself, change the paths below too.

$files = [
    'image' => ['image_file', __DIR__ . '/nowplaying.png', 'image/png'],
    'text' => ['text_file', __DIR__ . '/nowplaying.txt', 'text/plain; charset=utf-8'],
    'json' => ['json_file', __DIR__ . '/nowplaying.json', 'application/json'],
];

ini_set('display_errors', '0');
while (ob_get_level() > 0) {
    ob_end_clean();
}

function refuse(int $status, string $line): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=us-ascii');
    header('Cache-Control: no-store');
    echo $line, "\n";
    exit;
}

$which = $_GET['file'] ?? 'image';
if (!is_string($which) || !isset($files[$which])) {
    refuse(404, 'Ask for file=image, file=text or file=json.');
}
[$setting, $path, $type] = $files[$which];

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
        refuse(500, 'MyFormHandler.config.php does not work; post a track to see why.');
    }
    if (isset($changes[$setting]) && is_string($changes[$setting]) && $changes[$setting] !== '') {
        $path = $changes[$setting];
    }
}

$handle = @fopen($path, 'rb');
if ($handle === false) {
    refuse(404, 'Nothing has been stored yet.');
}
header("Content-Type: $type");
header('Content-Length: ' . fstat($handle)['size']);
header('Cache-Control: no-cache');
header('X-Content-Type-Options: nosniff');
fpassthru($handle);
