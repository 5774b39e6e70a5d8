<?php
// MyFormHandler.php: receives the title that the Tunewire plugin posts for each
// new track, keeps it in a text file and redraws a small "now playing" PNG that
// web pages and forum signatures can link to. Needs PHP 7.4 or later with GD.
// Change the settings below, or put the ones you change in a file named
// MyFormHandler.config.php beside this one (see readme.txt), which survives an
// update of this file.

$config = [
    // Size of the image in pixels.
    'width' => 468,
    'height' => 60,
    // Colours as #RRGGBB.
    'background' => '#1C1C28',
    'label_colour' => '#9FA0B8',
    'title_colour' => '#FFFFFF',
    // 1 to 5 picks one of GD's built-in fonts (5 is the largest); they draw
    // Western and Central European letters only, and show others as "?".
    // Or the full path of a TrueType font file, which draws every character.
    'font' => 5,
    // Size in points, for a TrueType font only.
    'font_size' => 13,
    // Printed above the title; '' for none.
    'label' => 'Now playing:',
    // Where the title (UTF-8, no line end) and the image are kept. These paths
    // are fixed here: nothing in a request can change where files are written.
    'text_file' => __DIR__ . '/nowplaying.txt',
    'image_file' => __DIR__ . '/nowplaying.png',
    // Shared key. When set, the plugin's Form URL must carry it, as in
    // /MyFormHandler.php?key=YourKey&track= and posts without it are refused,
    // so strangers cannot change your image.
    'key' => '',
];

// The plugin's title buffer holds 260 bytes, so anything longer did not come
// from the plugin.
const MAX_TITLE_BYTES = 260;
// Room kept free around the text, in pixels.
const MARGIN = 6;

// The plugin shows any refusal to its user in a message box, so a PHP warning
// must never end up in the answer: it belongs in the server's log.
ini_set('display_errors', '0');

function answer(int $status, string $line, array $headers = []): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=us-ascii');
    header('Cache-Control: no-store');
    foreach ($headers as $h) {
        header($h);
    }
    echo $line, "\n";
    exit;
}

function load_settings(array $config): array
{
    $local = __DIR__ . '/MyFormHandler.config.php';
    if (is_file($local)) {
        $changes = require $local;
        if (!is_array($changes)) {
            answer(500, 'MyFormHandler.config.php must return an array of settings.');
        }
        $config = array_replace($config, $changes);
    }
    foreach (['background', 'label_colour', 'title_colour'] as $name) {
        if (!is_string($config[$name]) || !preg_match('/^#[0-9A-Fa-f]{6}$/', $config[$name])) {
            answer(500, "Handler setting $name is not a colour of the form #RRGGBB.");
        }
    }
    if (is_string($config['font']) && !is_readable($config['font'])) {
        answer(500, 'The font file in the handler settings cannot be read.');
    }
    return $config;
}

// Windows-1252 leaves five byte values undefined, and iconv rejects a whole
// text that holds one; each such byte becomes U+FFFD instead. Control
// characters become spaces, so the text file stays one line.
function windows1252_to_utf8(string $bytes): string
{
    $bytes = preg_replace('/[\x00-\x1F\x7F]/', ' ', $bytes);
    $pieces = preg_split('/[\x81\x8D\x8F\x90\x9D]/', $bytes);
    $converted = array_map(fn($piece) => iconv('Windows-1252', 'UTF-8', $piece), $pieces);
    return implode("\u{FFFD}", $converted);
}

// A font as three operations on UTF-8 text: height, width and draw. GD's
// built-in fonts are laid out as ISO-8859-2, so their text is converted
// first, with lookalikes for what Latin-2 lacks.
function make_font($font, float $size): array
{
    if (!is_string($font)) {
        $font = max(1, min(5, (int)$font));
        $latin2 = fn(string $text) => (string)iconv('UTF-8', 'ISO-8859-2//TRANSLIT', $text);
        return [
            'height' => imagefontheight($font),
            'width' => fn(string $text) => strlen($latin2($text)) * imagefontwidth($font),
            'draw' => fn($image, int $x, int $top, string $text, int $colour) =>
                imagestring($image, $font, $x, $top, $latin2($text), $colour),
        ];
    }
    $box = imagettfbbox($size, 0, $font, "\u{00C9}g");
    $ascent = -$box[7];
    return [
        'height' => $ascent + $box[1],
        'width' => function (string $text) use ($size, $font) {
            $box = imagettfbbox($size, 0, $font, $text);
            return $box[2] - $box[0];
        },
        'draw' => fn($image, int $x, int $top, string $text, int $colour) =>
            imagettftext($image, $size, 0, $x, $top + $ascent, $colour, $font, $text),
    ];
}

// Cuts a text that is too wide for the image and marks the cut with "...".
function fit(string $text, int $room, callable $width): string
{
    if ($width($text) <= $room) {
        return $text;
    }
    $chars = preg_split('//u', $text, -1, PREG_SPLIT_NO_EMPTY);
    while ($chars && $width(implode('', $chars) . '...') > $room) {
        array_pop($chars);
    }
    return implode('', $chars) . '...';
}

function colour($image, string $hex): int
{
    [$r, $g, $b] = sscanf($hex, '#%2x%2x%2x');
    return imagecolorallocate($image, $r, $g, $b);
}

function render_png(array $config, string $title): string
{
    $width = max(16, (int)$config['width']);
    $height = max(16, (int)$config['height']);
    $image = imagecreatetruecolor($width, $height);
    imagefill($image, 0, 0, colour($image, $config['background']));
    $font = make_font($config['font'], (float)$config['font_size']);

    $lines = [[$title, $config['title_colour']]];
    if ($config['label'] !== '') {
        array_unshift($lines, [(string)$config['label'], $config['label_colour']]);
    }
    $lineHeight = $font['height'] + 2;
    $top = intdiv($height - count($lines) * $lineHeight, 2) + 1;
    foreach ($lines as [$text, $hex]) {
        $text = fit($text, $width - 2 * MARGIN, $font['width']);
        $font['draw']($image, MARGIN, $top, $text, colour($image, $hex));
        $top += $lineHeight;
    }

    ob_start();
    imagepng($image);
    imagedestroy($image);
    return ob_get_clean();
}

// Writes $data to a new file beside $target, to be renamed over it later: a
// rename within one folder replaces the file at once, so readers see either
// the old file or the new one, never part of one. Returns null on failure.
function stage(string $target, string $data): ?string
{
    $temp = $target . '.' . bin2hex(random_bytes(6)) . '.tmp';
    $handle = fopen($temp, 'xb');
    if ($handle === false) {
        return null;
    }
    $written = fwrite($handle, $data) === strlen($data) && fflush($handle);
    fclose($handle);
    // The web server may serve files as a different user than PHP runs as.
    if (!$written || !chmod($temp, 0644)) {
        unlink($temp);
        return null;
    }
    return $temp;
}

function store(array $config, string $title, string $png): bool
{
    $staged = [];
    foreach ([$config['image_file'] => $png, $config['text_file'] => $title] as $target => $data) {
        $temp = stage($target, $data);
        if ($temp === null) {
            array_map('unlink', $staged);
            return false;
        }
        $staged[$target] = $temp;
    }
    $ok = true;
    foreach ($staged as $target => $temp) {
        if (!rename($temp, $target)) {
            unlink($temp);
            $ok = false;
        }
    }
    return $ok;
}

$config = load_settings($config);

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, 'This form handler accepts only POST requests with a track field.', ['Allow: POST']);
}
$key = $_GET['key'] ?? '';
if ($config['key'] !== '' && !(is_string($key) && hash_equals((string)$config['key'], $key))) {
    answer(403, "Wrong or missing key: put key=YourKey in the plugin's Form URL.");
}
// The default Form URL ends in "?track=", an empty query field: the title
// is only ever taken from the posted form.
$track = $_POST['track'] ?? null;
if (!is_string($track)) {
    answer(400, 'The posted form has no track field.');
}
if (strlen($track) > MAX_TITLE_BYTES) {
    answer(400, 'The track title is longer than ' . MAX_TITLE_BYTES . ' bytes.');
}

$title = windows1252_to_utf8($track);
if (!store($config, $title, render_png($config, $title))) {
    answer(500, 'Could not write the now-playing files; check folder permissions.');
}
answer(200, 'OK');
