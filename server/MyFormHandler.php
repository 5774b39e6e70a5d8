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
    // Or the full path of a TrueType or OpenType font file, which draws every
    // character it has; or a list of such paths, where each character is
    // drawn with the first font that has it (readme.txt says which fonts
    // cover which scripts), for example
    //   'font' => ['/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf',
    //              '/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf',
    //              '/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf'],
    'font' => 5,
    // Size in points, for a TrueType font only.
    'font_size' => 13,
    // Printed above the title; '' for none.
    'label' => 'Now playing:',
    // Where the title (UTF-8, no line end) and the image are kept. These paths
    // are fixed here: nothing in a request can change where files are written.
    'text_file' => __DIR__ . '/nowplaying.txt',
    'image_file' => __DIR__ . '/nowplaying.png',
    // The title and the time it was stored as JSON, for overlay.html; '' (the
    // standard) writes none. To use it: __DIR__ . '/nowplaying.json'.
    'json_file' => '',
    // Shared key. When set, the plugin's Form URL must carry it, as in
    // /MyFormHandler.php?key=YourKey&track= and posts without it are refused,
    // so strangers cannot change your image.
    'key' => '',
];


// The plugin's title buffer holds 260 bytes, so anything longer did not come
// from the plugin.
const MAX_TITLE_BYTES = 260;
// In its Unicode mode the plugin sends at most 260 UTF-16 units as UTF-8,
// which is at most three bytes for each.
const MAX_UTF8_TITLE_BYTES = 780;
// Room kept free around the text, in pixels.
const MARGIN = 6;
// A side of 20000 pixels took 17 s and 2.7 GB to draw; signatures and
// overlays need a few hundred.
const MAX_IMAGE_SIDE = 4000;
// A reason longer than this would not fit the plugin's message box.
const MAX_REASON_CHARS = 300;

// The plugin shows any refusal to its user in a message box, so a PHP warning
// must never end up in the answer: it belongs in the server's log. What PHP
// printed before this script ran (a start-up warning, when buffering is on) is
// dropped with its buffer, and everything after is held back until the
// answer is known.
ini_set('display_errors', '0');
while (ob_get_level() > 0) {
    ob_end_clean();
}
ob_start();
$answered = false;
$loadingSettings = false;
register_shutdown_function('answer_unfinished');

function answer(int $status, string $line, array $headers = []): void
{
    global $answered;
    $answered = true;
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    http_response_code($status);
    header('Content-Type: text/plain; charset=us-ascii');
    header('Cache-Control: no-store');
    foreach ($headers as $h) {
        header($h);
    }
    echo $line, "\n";
    exit;
}

// One line of printable ASCII, short enough for a message box.
function one_line(string $text): string
{
    $text = trim(preg_replace('/[^\x20-\x7E]+/', ' ', $text));
    return strlen($text) > MAX_REASON_CHARS ? substr($text, 0, MAX_REASON_CHARS) . '...' : $text;
}

// Runs when the script ends without an answer: a fatal PHP error, or an exit
// in the settings file. Either would otherwise give an empty or a wrong answer.
function answer_unfinished(): void
{
    global $answered, $loadingSettings;
    if ($answered) {
        return;
    }
    $error = error_get_last();
    if ($error !== null && ($error['type'] & (E_ERROR | E_PARSE | E_CORE_ERROR | E_COMPILE_ERROR))) {
        $where = basename($error['file']) . ' line ' . $error['line'];
        answer(500, 'PHP error in ' . one_line("$where: " . $error['message']));
    }
    if ($loadingSettings) {
        answer(500, 'MyFormHandler.config.php stops the script (exit or die); remove that.');
    }
    answer(500, 'The form handler ended without an answer; see the server log.');
}

// Names what a settings file printed, which would otherwise come before the
// answer or, without output buffering, let a refusal pass as success.
function printed_reason(string $printed): string
{
    if (substr($printed, 0, 3) === "\xEF\xBB\xBF") {
        return 'MyFormHandler.config.php starts with a byte order mark: save it as UTF-8 without BOM.';
    }
    if (trim($printed) === '') {
        return 'MyFormHandler.config.php prints blank space: remove what stands before <?php or after ?>.';
    }
    return 'MyFormHandler.config.php prints text: remove its echo, print or text outside <?php.';
}

function load_settings(array $config): array
{
    global $loadingSettings;
    $local = __DIR__ . '/MyFormHandler.config.php';
    if (!is_file($local)) {
        return $config;
    }
    $loadingSettings = true;
    ob_start();
    try {
        $changes = require $local;
    } catch (Throwable $e) {
        answer(500, 'MyFormHandler.config.php fails on line ' . $e->getLine() . ': ' . one_line($e->getMessage()));
    }
    $printed = ob_get_clean();
    $loadingSettings = false;
    if ($printed !== '') {
        answer(500, printed_reason($printed));
    }
    if (!is_array($changes)) {
        answer(500, 'MyFormHandler.config.php must return an array of settings.');
    }
    foreach (array_diff_key($changes, $config) as $name => $value) {
        error_log("MyFormHandler.php: unknown setting '$name' in MyFormHandler.config.php is ignored");
    }
    return array_replace($config, array_intersect_key($changes, $config));
}

function is_whole_number($value): bool
{
    return is_int($value) || (is_string($value) && ctype_digit($value));
}

// Every setting is checked before anything is drawn, so that a mistake shows
// in the plugin's message box with its name instead of as an empty 500.
function check_settings(array $config): void
{
    if (!function_exists('imagecreatetruecolor') || !function_exists('imagepng')) {
        answer(500, 'PHP has no GD extension with PNG support; install or enable it.');
    }
    if (!function_exists('iconv')) {
        answer(500, 'PHP has no iconv extension; install or enable it.');
    }
    foreach (['background', 'label_colour', 'title_colour'] as $name) {
        if (!is_string($config[$name]) || !preg_match('/^#[0-9A-Fa-f]{6}\z/', $config[$name])) {
            answer(500, "Handler setting $name is not a colour of the form #RRGGBB.");
        }
    }
    foreach (['width', 'height'] as $name) {
        if (!is_whole_number($config[$name]) || (int)$config[$name] > MAX_IMAGE_SIDE) {
            answer(500, "Handler setting $name is not a whole number of pixels up to " . MAX_IMAGE_SIDE . '.');
        }
    }
    foreach (['label', 'key', 'text_file', 'image_file', 'json_file'] as $name) {
        if (!is_string($config[$name])) {
            answer(500, "Handler setting $name is not a text in quotes.");
        }
    }
    $paths = array_filter([$config['text_file'], $config['image_file'], $config['json_file']], 'strlen');
    if ($config['text_file'] === '' || $config['image_file'] === '' || count(array_unique($paths)) < count($paths)) {
        answer(500, 'Handler settings text_file, image_file and json_file must name different files.');
    }
    $font = $config['font'];
    if (is_int($font) && $font >= 1 && $font <= 5) {
        return;
    }
    $files = is_array($font) ? $font : [$font];
    if (!$files || $files !== array_values($files) || array_filter($files, fn($file) => !is_string($file))) {
        answer(500, 'Handler setting font is not 1 to 5, a font file or a list of font files.');
    }
    if (!function_exists('imagettftext')) {
        answer(500, "PHP's GD extension has no FreeType support for font files; install or enable it.");
    }
    if (!is_numeric($config['font_size']) || $config['font_size'] <= 0) {
        answer(500, 'Handler setting font_size is not a positive number.');
    }
    foreach ($files as $file) {
        if (!is_readable($file)) {
            answer(500, 'The font file in the handler settings cannot be read.');
        }
        if (@imagettfbbox(10, 0, $file, 'A') === false || font_ranges($file) === null) {
            answer(500, 'A font file in the handler settings is not a TrueType or OpenType font.');
        }
    }
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

// The characters a font file maps, as sorted [first, last] ranges read from
// its cmap table (format 12 or 4; in a collection, the first font, which is
// the one GD draws with). Null when the file is no font it can read.
function font_ranges(string $file): ?array
{
    static $cache = [];
    if (array_key_exists($file, $cache)) {
        return $cache[$file];
    }
    $handle = fopen($file, 'rb');
    $read = function (int $offset, int $length) use ($handle): string {
        if ($length <= 0 || fseek($handle, $offset) !== 0) {
            throw new RangeException();
        }
        $data = fread($handle, $length);
        if ($data === false || strlen($data) !== $length) {
            throw new RangeException();
        }
        return $data;
    };
    $ranges = null;
    try {
        $font = $read(0, 4) === 'ttcf' ? unpack('N', $read(12, 4))[1] : 0;
        $tables = unpack('n', $read($font + 4, 2))[1];
        $directory = $read($font + 12, 16 * $tables);
        $cmap = null;
        for ($i = 0; $i < $tables; $i++) {
            if (substr($directory, 16 * $i, 4) === 'cmap') {
                $cmap = unpack('N', $directory, 16 * $i + 8)[1];
            }
        }
        if ($cmap === null) {
            throw new RangeException();
        }
        $count = unpack('n', $read($cmap + 2, 2))[1];
        $records = $read($cmap + 4, 8 * $count);
        $best = null;
        for ($i = 0; $i < $count; $i++) {
            ['p' => $platform, 'e' => $encoding, 'o' => $offset] = unpack('np/ne/No', $records, 8 * $i);
            $format = unpack('n', $read($cmap + $offset, 2))[1];
            $unicode = $platform === 0 || ($platform === 3 && ($encoding === 1 || $encoding === 10));
            if ($unicode && ($format === 12 || ($format === 4 && $best === null))) {
                $best = [$format, $cmap + $offset];
            }
        }
        if ($best === null) {
            throw new RangeException();
        }
        [$format, $at] = $best;
        $ranges = [];
        if ($format === 12) {
            $groups = unpack('N', $read($at + 12, 4))[1];
            $data = $read($at + 16, 12 * $groups);
            for ($i = 0; $i < $groups; $i++) {
                $ranges[] = array_values(unpack('N2', $data, 12 * $i));
            }
        } else {
            $segments = unpack('n', $read($at + 6, 2))[1] / 2;
            $ends = array_values(unpack('n*', $read($at + 14, 2 * $segments)));
            $starts = array_values(unpack('n*', $read($at + 16 + 2 * $segments, 2 * $segments)));
            foreach ($starts as $i => $start) {
                if ($start !== 0xFFFF) {
                    $ranges[] = [$start, $ends[$i]];
                }
            }
        }
        usort($ranges, fn($a, $b) => $a[0] <=> $b[0]);
    } catch (Throwable $e) {
        $ranges = null;
    }
    fclose($handle);
    return $cache[$file] = $ranges;
}

function font_has(array $ranges, int $code): bool
{
    [$low, $high] = [0, count($ranges) - 1];
    while ($low <= $high) {
        $middle = intdiv($low + $high, 2);
        if ($code < $ranges[$middle][0]) {
            $high = $middle - 1;
        } elseif ($code > $ranges[$middle][1]) {
            $low = $middle + 1;
        } else {
            return true;
        }
    }
    return false;
}

// Splits a text into [font file, piece] runs: each character goes to the
// first font that has it (else to the first font, which draws its "missing"
// box), but spaces and punctuation stay with the run they are in when its
// font has them, so they never start a run of their own.
function font_runs(array $files, string $text): array
{
    $runs = [];
    foreach (preg_split('//u', $text, -1, PREG_SPLIT_NO_EMPTY) as $char) {
        $code = mb_ord_utf8($char);
        $current = $runs ? $runs[count($runs) - 1][0] : null;
        $neutral = preg_match('/^[\p{Z}\p{P}]$/u', $char) === 1;
        if ($current === null || !$neutral || !font_has(font_ranges($current), $code)) {
            $chosen = $files[0];
            foreach ($files as $file) {
                if (font_has(font_ranges($file), $code)) {
                    $chosen = $file;
                    break;
                }
            }
            if ($chosen !== $current) {
                $runs[] = [$chosen, ''];
            }
        }
        $runs[count($runs) - 1][1] .= $char;
    }
    return $runs;
}

// GD reads "&#NNN;" in a text as a character reference, so an ampersand
// goes to it as one.
function gd_text(string $text): string
{
    return str_replace('&', '&#38;', $text);
}

// The code point of one UTF-8 character, without needing mbstring.
function mb_ord_utf8(string $char): int
{
    $units = unpack('n*', iconv('UTF-8', 'UTF-16BE', $char));
    return count($units) === 2 ? 0x10000 + (($units[1] - 0xD800) << 10) + ($units[2] - 0xDC00) : $units[1];
}

// A font as three operations on UTF-8 text: height, width and draw. GD's
// built-in fonts are laid out as ISO-8859-2, so their text is converted
// first, with lookalikes for what Latin-2 lacks.
function make_font($font, float $size): array
{
    if (!is_string($font) && !is_array($font)) {
        $font = max(1, min(5, (int)$font));
        $latin2 = fn(string $text) => (string)iconv('UTF-8', 'ISO-8859-2//TRANSLIT', $text);
        return [
            'height' => imagefontheight($font),
            'width' => fn(string $text) => strlen($latin2($text)) * imagefontwidth($font),
            'draw' => fn($image, int $x, int $top, string $text, int $colour) =>
                imagestring($image, $font, $x, $top, $latin2($text), $colour),
        ];
    }
    $first = is_array($font) ? $font[0] : $font;
    $box = imagettfbbox($size, 0, $first, "\u{00C9}g");
    $ascent = -$box[7];
    $height = $ascent + $box[1];
    if (is_string($font)) {
        return [
            'height' => $height,
            'width' => function (string $text) use ($size, $font) {
                $box = imagettfbbox($size, 0, $font, gd_text($text));
                return $box[2] - $box[0];
            },
            'draw' => fn($image, int $x, int $top, string $text, int $colour) =>
                imagettftext($image, $size, 0, $x, $top + $ascent, $colour, $font, gd_text($text)),
        ];
    }
    // GD measures the ink of a text, which leaves out a run's trailing
    // spaces: a run's advance is measured with an "x" after it instead.
    $advance = function (string $file, string $piece) use ($size): int {
        return imagettfbbox($size, 0, $file, gd_text($piece) . 'x')[2] - imagettfbbox($size, 0, $file, 'x')[2];
    };
    $width = function (string $text) use ($font, $advance): int {
        $total = 0;
        foreach (font_runs($font, $text) as [$file, $piece]) {
            $total += $advance($file, $piece);
        }
        return $total;
    };
    return [
        'height' => $height,
        'width' => $width,
        'draw' => function ($image, int $x, int $top, string $text, int $colour) use ($font, $size, $ascent, $advance) {
            foreach (font_runs($font, $text) as [$file, $piece]) {
                imagettftext($image, $size, 0, $x, $top + $ascent, $colour, $file, gd_text($piece));
                $x += $advance($file, $piece);
            }
        },
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
    $font = make_font($config['font'], (float)$config['font_size']);
    $lines = [[$title, $config['title_colour']]];
    if ($config['label'] !== '') {
        array_unshift($lines, [$config['label'], $config['label_colour']]);
    }
    $lineHeight = $font['height'] + 2;
    if (!is_int($config['font']) && count($lines) * $lineHeight > $height) {
        answer(500, 'Handler setting font_size is too large for the image height.');
    }

    $image = imagecreatetruecolor($width, $height);
    imagefill($image, 0, 0, colour($image, $config['background']));
    $top = intdiv($height - count($lines) * $lineHeight, 2) + 1;
    foreach ($lines as [$text, $hex]) {
        // GD cannot draw characters beyond the first 65,536 code points (most
        // emoji among them: it misreads their UTF-8 as several Latin
        // letters); the image shows U+FFFD for each, the text and JSON files
        // keep them.
        $text = preg_replace('/[\x{10000}-\x{10FFFF}]/u', "\u{FFFD}", $text);
        $text = fit($text, $width - 2 * MARGIN, $font['width']);
        $font['draw']($image, MARGIN, $top, $text, colour($image, $hex));
        $top += $lineHeight;
    }

    ob_start();
    imagepng($image);
    imagedestroy($image);
    return ob_get_clean();
}

// The title, escaped for HTML and scripts by construction: a page that puts
// it in place with textContent, or even as markup, runs nothing.
function render_json(string $title): string
{
    return json_encode(['title' => $title, 'stored' => gmdate('Y-m-d\TH:i:s\Z')],
        JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_HEX_TAG | JSON_HEX_AMP
        | JSON_HEX_APOS | JSON_HEX_QUOT) . "\n";
}

// Writes $data to a new file beside $target, to be renamed over it later: a
// rename within one folder replaces the file at once, so readers see either
// the old file or the new one, never part of one. Returns null on failure.
function stage(string $target, string $data): ?string
{
    $temp = $target . '.' . bin2hex(random_bytes(6)) . '.tmp';
    $handle = @fopen($temp, 'xb');
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

// Replaces every target with its data, all or none. The renames of one post
// hold a lock beside the text file, so two posts at once cannot leave the
// text from one and the image from the other; if a rename fails, the files
// already replaced get their old content back.
function store(string $lockFile, array $files): bool
{
    $staged = [];
    foreach ($files as $target => $data) {
        $temp = stage($target, $data);
        if ($temp === null) {
            array_map('unlink', $staged);
            return false;
        }
        $staged[$target] = $temp;
    }
    $lock = @fopen($lockFile, 'c');
    if ($lock === false || !flock($lock, LOCK_EX)) {
        if ($lock !== false) {
            fclose($lock);
        }
        array_map('unlink', $staged);
        return false;
    }
    $replaced = [];
    $ok = true;
    foreach ($staged as $target => $temp) {
        $old = is_file($target) ? file_get_contents($target) : null;
        if (!@rename($temp, $target)) {
            $ok = false;
            break;
        }
        $replaced[$target] = $old;
    }
    if (!$ok) {
        array_map(fn($temp) => @unlink($temp), $staged);
        foreach ($replaced as $target => $old) {
            $back = $old === null ? null : stage($target, $old);
            if ($back === null || !rename($back, $target)) {
                @unlink($target);
            }
        }
    }
    flock($lock, LOCK_UN);
    fclose($lock);
    return $ok;
}

// PHP drops a form larger than post_max_size before the script runs, so the
// form looks empty: that must not read as a missing track field.
function form_too_large(): bool
{
    $limit = trim((string)ini_get('post_max_size'));
    $units = ['k' => 1 << 10, 'm' => 1 << 20, 'g' => 1 << 30];
    $bytes = (int)$limit * ($units[strtolower(substr($limit, -1))] ?? 1);
    return $bytes > 0 && (int)($_SERVER['CONTENT_LENGTH'] ?? 0) > $bytes;
}

$config = load_settings($config);
check_settings($config);

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, 'This form handler accepts only POST requests with a track field.', ['Allow: POST']);
}
$key = $_GET['key'] ?? '';
if ($config['key'] !== '' && !(is_string($key) && hash_equals((string)$config['key'], $key))) {
    answer(403, "Wrong or missing key: put key=YourKey in the plugin's Form URL.");
}
if (form_too_large()) {
    answer(413, 'The posted form is larger than the server accepts (PHP setting post_max_size).');
}
// The default Form URL ends in "?track=", an empty query field: the title
// is only ever taken from the posted form.
$track = $_POST['track'] ?? null;
if (!is_string($track)) {
    answer(400, 'The posted form has no track field.');
}
// The plugin's Unicode mode marks its UTF-8 titles; anything else is the
// plugin's standard Windows-1252.
$charset = $_POST['charset'] ?? '';
if (is_string($charset) && strcasecmp($charset, 'utf-8') === 0) {
    if (strlen($track) > MAX_UTF8_TITLE_BYTES) {
        answer(400, 'The track title is longer than ' . MAX_UTF8_TITLE_BYTES . ' bytes of UTF-8.');
    }
    if (!preg_match('//u', $track)) {
        answer(400, 'The track title is not valid UTF-8.');
    }
    $title = preg_replace('/[\x00-\x1F\x7F]/', ' ', $track);
} else {
    if (strlen($track) > MAX_TITLE_BYTES) {
        answer(400, 'The track title is longer than ' . MAX_TITLE_BYTES . ' bytes.');
    }
    $title = windows1252_to_utf8($track);
}

$files = [$config['image_file'] => render_png($config, $title)];
if ($config['json_file'] !== '') {
    $files[$config['json_file']] = render_json($title);
}
$files[$config['text_file']] = $title;
if (!store($config['text_file'] . '.lock', $files)) {
    answer(500, 'Could not write the now-playing files; check folder permissions.');
}
answer(200, 'OK');
