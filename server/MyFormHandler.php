<?php
// MyFormHandler.php: receives the title that the Tunewire plugin posts for each
// new track, keeps it in a text file and redraws a small "now playing" PNG that
// web pages and forum signatures can link to; the artist, album and song the
// plugin may post beside it go to the JSON file for overlays. Needs PHP 7.4
// or later with GD.
// Change the settings below, or put the ones you change in a file named
// MyFormHandler.config.php beside this one (see readme.txt and
// MyFormHandler.config.example.php), which survives an update of this file.

$config = [
    // Size of the image in pixels, 16 to 4000 each.
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
    // Size in points (4 to 200), for a TrueType font only.
    'font_size' => 13,
    // Printed above the title; '' for none.
    'label' => 'Now playing:',
    // Where the title (UTF-8, no line end) and the image are kept. These paths
    // are fixed here: nothing in a request can change where files are written.
    // A name without a folder is taken from this file's folder. Names of
    // scripts and pages (.php, .html, ...) and of this folder's own files are
    // refused, so a posted title can never become a program or a page.
    'text_file' => __DIR__ . '/nowplaying.txt',
    'image_file' => __DIR__ . '/nowplaying.png',
    // The title and the time it was stored as JSON (with the artist, album
    // and song when the plugin posts them), for overlay.html; '' (the
    // standard) writes none. To use it: __DIR__ . '/nowplaying.json'.
    'json_file' => '',
    // The one web site whose pages may read the JSON file through
    // nowplaying.php, such as 'https://www.example.com', or '*' for any; ''
    // (the standard) lets only pages of this site read it.
    'json_allow_origin' => '',
    // What played before: how many of the last stored titles the JSON file
    // keeps, newest first, as its list "recent" (1 to 50; needs json_file).
    // 0, the standard, keeps none.
    'recent' => 0,
    // Shared key. When set, the plugin's Form URL must carry it, as in
    // /MyFormHandler.php?key=YourKey&track= and posts without it are refused,
    // so strangers cannot change your image.
    'key' => '',
];


// The plugin's title buffer holds 260 bytes, so anything longer did not come
// from the plugin. Its tags are held and bounded as its titles are.
const MAX_TITLE_BYTES = 260;
// In its Unicode mode the plugin sends at most 260 UTF-16 units as UTF-8,
// which is at most three bytes for each.
const MAX_UTF8_TITLE_BYTES = 780;
// The track's tags the plugin may post beside the title, which go to the JSON
// file under the same names.
const TAG_FIELDS = ['artist', 'album', 'song'];
// 50 tracks are two to three hours of music. Every post reads and rewrites
// the whole list, and an overlay reads it every second: 50 entries of
// everyday titles and tags make about 8 KB, where the longest the handler
// takes, all escaped, would make almost a megabyte.
const MAX_RECENT = 50;
// The JSON file's text: markup characters and quotes as \u escapes, so that
// no title can become markup or end a string in a page.
const JSON_FLAGS = JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_HEX_TAG | JSON_HEX_AMP
                   | JSON_HEX_APOS | JSON_HEX_QUOT;
// Room kept free around the text, in pixels.
const MARGIN = 6;
// A side of 20000 pixels took 17 s and 2.7 GB to draw; signatures and
// overlays need a few hundred. Below 16 pixels nothing readable fits.
const MIN_IMAGE_SIDE = 16;
const MAX_IMAGE_SIDE = 4000;
// Smaller letters cannot be read, larger ones fill no image of 4000 pixels.
const MIN_FONT_SIZE = 4;
const MAX_FONT_SIZE = 200;
// A reason longer than this would not fit the plugin's message box.
const MAX_REASON_CHARS = 300;
// CPU seconds a post may take (a lower max_execution_time wins). The longest
// title with a list of three fonts takes well under one; the plugin gives up
// waiting after 15.
const MAX_SECONDS = 5;
// A temporary file this old belongs to a post that was killed before it
// could clean up: posts rename theirs within a fraction of a second.
const STALE_TEMP_SECONDS = 60;
// Without post_max_size, the handler still reads no more of a form than this.
const MAX_FORM_BYTES = 8 << 20;
// Names the handler never writes: a web server may run them as scripts or
// serve them as pages (a title would become code there), or they configure
// the server. Compared without regard to letter case.
const SCRIPT_OR_PAGE = '/\.(php\d*|pht|phtml|phps|phar|html?|xhtml|shtml|svgz?)$|^\.ht|^\.user\.ini$|^web\.config$/i';
// This folder's own files: the handler, its settings, and what ships with them.
const HANDLER_FILES = ['myformhandler.php', 'myformhandler.config.php', 'myformhandler.config.example.php',
                       'nowplaying.php', 'overlay.html', 'readme.txt'];
// What a stranger learns when the settings are broken; the reason goes to the
// server's log.
const HIDDEN_REASON = "The form handler's settings have a mistake; the server's error log says which.";

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
// The key that decides who may read a settings mistake: the one set here
// until the settings file names another.
$ownerKey = (string)(is_scalar($config['key']) ? $config['key'] : '');
// Temporary files not yet renamed into place: however the script ends, they
// go (the first shutdown function runs before any answer is given there).
$temps = [];
register_shutdown_function('remove_temps');
register_shutdown_function('answer_unfinished');
limit_time();

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

// PHP's messages name files by their full path, which tells a reader where the
// site lives on the server: the answer keeps the file names only.
function without_folders(string $text): string
{
    return preg_replace('~(?<![\w.:\\\\/])(?:[A-Za-z]:)?[\\\\/](?:[^\s\\\\/\'"()]*[\\\\/])*~', '', $text);
}

// True when a key is set and the request does not carry it, once.
function is_stranger(): bool
{
    global $ownerKey;
    $key = $_GET['key'] ?? '';
    return $ownerKey !== '' && (has_repeated_key() || !(is_string($key) && hash_equals($ownerKey, $key)));
}

// A mistake in the settings or in the folder the handler writes to: the
// plugin's user, who holds the key, reads the reason in the message box;
// anyone else gets a reason that names nothing, and the log keeps it whole.
function refuse_settings(string $reason): void
{
    error_log('MyFormHandler.php: ' . $reason);
    answer(500, is_stranger() ? HIDDEN_REASON : one_line(without_folders($reason)));
}

// GD answers false where it fails; the handler then stops with a reason
// rather than draw nothing.
function gd_result($result, string $call)
{
    if ($result === false) {
        error_log("MyFormHandler.php: GD's $call failed");
        answer(500, 'GD could not draw the image; see the server log.');
    }
    return $result;
}

// The CPU time a post may take. A host may forbid changing it; its own limit
// then applies.
function limit_time(): void
{
    $limit = (int)ini_get('max_execution_time');
    if (function_exists('set_time_limit')) {
        set_time_limit($limit > 0 ? min($limit, MAX_SECONDS) : MAX_SECONDS);
    }
}

function remove_temps(): void
{
    global $temps;
    foreach (array_keys($temps) as $temp) {
        @unlink($temp);
    }
    $temps = [];
}

// Runs when the script ends without an answer: a fatal PHP error, the time
// limit, or an exit in the settings file. Each would otherwise give an empty
// or a wrong answer.
function answer_unfinished(): void
{
    global $answered, $loadingSettings;
    if ($answered) {
        return;
    }
    $error = error_get_last();
    if ($error !== null && ($error['type'] & (E_ERROR | E_PARSE | E_CORE_ERROR | E_COMPILE_ERROR))) {
        if (str_starts_with($error['message'], 'Maximum execution time')) {
            error_log('MyFormHandler.php: ' . $error['message'] . ' in ' . $error['file']);
            answer(500, 'The form handler ran past its time limit; see the server log.');
        }
        $reason = 'PHP error in ' . basename($error['file']) . ' line ' . $error['line'] . ': ' . $error['message'];
        if ($loadingSettings) {
            refuse_settings($reason);
        }
        answer(500, one_line(without_folders($reason)));
    }
    if ($loadingSettings) {
        refuse_settings('MyFormHandler.config.php stops the script (exit or die); remove that.');
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

// The settings file's own spelling of a setting name, when it differs from a
// known one only by letter case or blank space ('Key', ' key'): such a
// setting would otherwise be ignored, and a key switched off unnoticed.
function misspelt_names(array $changes, array $config): array
{
    $found = [];
    foreach (array_keys($changes) as $name) {
        $plain = strtolower(preg_replace('/\s+/', '', (string)$name));
        if ($plain !== (string)$name && array_key_exists($plain, $config)) {
            $found[(string)$name] = $plain;
        }
    }
    return $found;
}

function load_settings(array $config): array
{
    global $loadingSettings, $ownerKey;
    $local = __DIR__ . '/MyFormHandler.config.php';
    if (!is_file($local)) {
        return $config;
    }
    $loadingSettings = true;
    ob_start();
    try {
        $changes = require $local;
    } catch (Throwable $e) {
        ob_end_clean();
        refuse_settings('MyFormHandler.config.php fails on line ' . $e->getLine() . ': ' . $e->getMessage());
    }
    $printed = ob_get_clean();
    $loadingSettings = false;
    if (is_array($changes)) {
        $misspelt = misspelt_names($changes, $config);
        // The key is known before any other mistake is told: a misspelt one
        // is still the key its owner meant.
        $keyName = array_key_exists('key', $changes) ? 'key' : array_search('key', $misspelt, true);
        $key = $keyName === false ? $config['key'] : $changes[$keyName];
        $ownerKey = is_scalar($key) ? (string)$key : '';
    }
    if ($printed !== '') {
        refuse_settings(printed_reason($printed));
    }
    if (!is_array($changes)) {
        refuse_settings('MyFormHandler.config.php must return an array of settings.');
    }
    foreach ($misspelt as $name => $plain) {
        refuse_settings("MyFormHandler.config.php names the setting '$name'; write it as $plain, in small letters without spaces.");
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
// Returns the files to write, as full paths by setting name.
function check_settings(array $config): array
{
    if (!function_exists('imagecreatetruecolor') || !function_exists('imagepng')) {
        refuse_settings('PHP has no GD extension with PNG support; install or enable it.');
    }
    if (!function_exists('iconv')) {
        refuse_settings('PHP has no iconv extension; install or enable it.');
    }
    foreach (['background', 'label_colour', 'title_colour'] as $name) {
        if (!is_string($config[$name]) || !preg_match('/^#[0-9A-Fa-f]{6}\z/', $config[$name])) {
            refuse_settings("Handler setting $name is not a colour of the form #RRGGBB.");
        }
    }
    foreach (['width', 'height'] as $name) {
        $value = $config[$name];
        if (!is_whole_number($value) || (int)$value < MIN_IMAGE_SIDE || (int)$value > MAX_IMAGE_SIDE) {
            refuse_settings("Handler setting $name is not a whole number of pixels from 16 to 4000.");
        }
    }
    foreach (['label', 'key', 'text_file', 'image_file', 'json_file', 'json_allow_origin'] as $name) {
        if (!is_string($config[$name])) {
            refuse_settings("Handler setting $name is not a text in quotes.");
        }
    }
    if (!preg_match('~^(|\*|https?://[A-Za-z0-9.-]+(:\d{1,5})?)\z~', $config['json_allow_origin'])) {
        refuse_settings("Handler setting json_allow_origin is not '', '*' or an address such as https://www.example.com.");
    }
    $recent = $config['recent'];
    if (!is_whole_number($recent) || (int)$recent < 0 || (int)$recent > MAX_RECENT) {
        refuse_settings('Handler setting recent is not a whole number from 0 to 50.');
    }
    $outputs = check_outputs($config);
    if ((int)$recent > 0 && !isset($outputs['json_file'])) {
        refuse_settings('Handler setting recent needs json_file: the list is kept in the JSON file.');
    }
    check_font($config);
    return $outputs;
}

function is_absolute(string $path): bool
{
    return preg_match('~^([\\\\/]|[A-Za-z]:[\\\\/])~', $path) === 1;
}

// True for a regular file that is not a link. Anything else at an output's
// name (a link, a folder, a FIFO that would hang every post) is refused:
// saving through a link would write elsewhere, and restoring after a failed
// rename would publish what the link points to.
function is_plain_file(string $path): bool
{
    $status = @lstat($path);
    return $status !== false && ($status['mode'] & 0170000) === 0100000;
}

// The files a post writes, compared by where they really are: two names of
// one file ('/./', a relative name) would overwrite each other, and a name of
// a script or of the handler's own files would turn a title into code.
function check_outputs(array $config): array
{
    $outputs = [];
    foreach (['text_file', 'image_file', 'json_file'] as $name) {
        $path = $config[$name];
        if ($name === 'json_file' && $path === '') {
            continue;
        }
        if (!is_absolute($path)) {
            $path = __DIR__ . '/' . $path;
        }
        $file = basename($path);
        if (str_contains($path, "\0") || preg_match('~[\\\\/]\z~', $path) || in_array($file, ['', '.', '..'], true)) {
            refuse_settings("Handler setting $name is not a file name.");
        }
        if (preg_match(SCRIPT_OR_PAGE, $file) || in_array(strtolower($file), HANDLER_FILES, true)) {
            refuse_settings("Handler setting $name names a script, a web page or a file of the handler; choose another name.");
        }
        $folder = realpath(dirname($path));
        if ($folder === false || !is_dir($folder)) {
            refuse_settings("Handler setting $name names a folder that does not exist.");
        }
        $outputs[$name] = $folder . DIRECTORY_SEPARATOR . $file;
    }
    $all = array_map('strtolower', $outputs + ['lock' => $outputs['text_file'] . '.lock']);
    if (count(array_unique($all)) < count($all)) {
        refuse_settings('Handler settings text_file, image_file and json_file must name different files.');
    }
    foreach (array_keys($all) as $which) {
        $path = $which === 'lock' ? $outputs['text_file'] . '.lock' : $outputs[$which];
        if (file_exists($path) || is_link($path)) {
            if (!is_plain_file($path)) {
                $file = basename($path);
                refuse_settings("The handler writes plain files only, and $file is a link, a folder or a special file.");
            }
        }
    }
    return $outputs;
}

function check_font(array $config): void
{
    $font = $config['font'];
    if (is_int($font) && $font >= 1 && $font <= 5) {
        return;
    }
    $files = is_array($font) ? $font : [$font];
    if (!$files || $files !== array_values($files) || array_filter($files, fn($file) => !is_string($file))) {
        refuse_settings('Handler setting font is not 1 to 5, a font file or a list of font files.');
    }
    if (!function_exists('imagettftext')) {
        refuse_settings("PHP's GD extension has no FreeType support for font files; install or enable it.");
    }
    $size = $config['font_size'];
    if (!is_numeric($size) || !is_finite((float)$size) || $size < MIN_FONT_SIZE || $size > MAX_FONT_SIZE) {
        refuse_settings('Handler setting font_size is not a number from 4 to 200.');
    }
    foreach ($files as $file) {
        if (str_contains($file, "\0") || !is_readable($file)) {
            refuse_settings('The font file in the handler settings cannot be read.');
        }
        if (@imagettfbbox(10, 0, $file, 'A') === false || font_ranges($file) === null) {
            refuse_settings('A font file in the handler settings is not a TrueType or OpenType font.');
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

function text_box(float $size, string $file, string $text): array
{
    return gd_result(imagettfbbox($size, 0, $file, $text), 'imagettfbbox');
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
                gd_result(imagestring($image, $font, $x, $top, $latin2($text), $colour), 'imagestring'),
        ];
    }
    $first = is_array($font) ? $font[0] : $font;
    $box = text_box($size, $first, "\u{00C9}g");
    $ascent = -$box[7];
    $height = $ascent + $box[1];
    if (is_string($font)) {
        return [
            'height' => $height,
            'width' => function (string $text) use ($size, $font) {
                $box = text_box($size, $font, gd_text($text));
                return $box[2] - $box[0];
            },
            'draw' => fn($image, int $x, int $top, string $text, int $colour) =>
                gd_result(imagettftext($image, $size, 0, $x, $top + $ascent, $colour, $font, gd_text($text)), 'imagettftext'),
        ];
    }
    // GD measures the ink of a text, which leaves out a run's trailing
    // spaces: a run's advance is measured with an "x" after it instead. Runs
    // repeat from one measurement of a text to the next (fit() measures
    // longer and shorter cuts of one title), so each is measured once.
    $advance = function (string $file, string $piece) use ($size): int {
        static $x = [], $known = [];
        $x[$file] ??= text_box($size, $file, 'x')[2];
        return $known[$file][$piece] ??= text_box($size, $file, gd_text($piece) . 'x')[2] - $x[$file];
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
                gd_result(imagettftext($image, $size, 0, $x, $top + $ascent, $colour, $file, gd_text($piece)), 'imagettftext');
                $x += $advance($file, $piece);
            }
        },
    ];
}

// Cuts a text that is too wide for the image and marks the cut with "...".
// A cut's width grows with the characters it keeps, so the longest cut that
// fits is found by halving: about ten measurements for the longest title,
// where cutting one character at a time took hundreds.
function fit(string $text, int $room, callable $width): string
{
    if ($width($text) <= $room) {
        return $text;
    }
    $chars = preg_split('//u', $text, -1, PREG_SPLIT_NO_EMPTY);
    [$fits, $tooWide] = [0, count($chars)];
    while ($tooWide - $fits > 1) {
        $middle = intdiv($fits + $tooWide, 2);
        if ($width(implode('', array_slice($chars, 0, $middle)) . '...') <= $room) {
            $fits = $middle;
        } else {
            $tooWide = $middle;
        }
    }
    return implode('', array_slice($chars, 0, $fits)) . '...';
}

function colour($image, string $hex): int
{
    [$r, $g, $b] = sscanf($hex, '#%2x%2x%2x');
    return gd_result(imagecolorallocate($image, $r, $g, $b), 'imagecolorallocate');
}

function render_png(array $config, string $title): string
{
    $width = (int)$config['width'];
    $height = (int)$config['height'];
    $font = make_font($config['font'], (float)$config['font_size']);
    $lines = [[$title, $config['title_colour']]];
    if ($config['label'] !== '') {
        array_unshift($lines, [$config['label'], $config['label_colour']]);
    }
    $lineHeight = $font['height'] + 2;
    if (!is_int($config['font']) && count($lines) * $lineHeight > $height) {
        answer(500, 'Handler setting font_size is too large for the image height.');
    }

    $image = gd_result(imagecreatetruecolor($width, $height), 'imagecreatetruecolor');
    gd_result(imagefill($image, 0, 0, colour($image, $config['background'])), 'imagefill');
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
    $made = imagepng($image);
    imagedestroy($image);
    $png = ob_get_clean();
    gd_result($made && $png !== '' ? $png : false, 'imagepng');
    return $png;
}

// What the JSON file says of one post: the title, the time it was stored
// and the tags posted with it.
function json_record(string $title, array $tags): array
{
    return ['title' => $title, 'stored' => gmdate('Y-m-d\TH:i:s\Z')] + $tags;
}

// Escaped for HTML and scripts by construction: a page that puts the texts
// in place with textContent, or even as markup, runs nothing.
function render_json(array $record): string
{
    return json_encode($record, JSON_FLAGS) . "\n";
}

// One entry of the list as a JSON file holds it, with only the fields the
// handler writes, or null for anything else (a hand-edited file).
function recent_entry($entry): ?array
{
    if (!is_array($entry) || !is_string($entry['title'] ?? null) || !is_string($entry['stored'] ?? null)) {
        return null;
    }
    $fields = array_intersect_key($entry, array_flip(array_merge(['title', 'stored'], TAG_FIELDS)));
    return array_filter($fields, 'is_string');
}

// The JSON file with the new record at the top of the list that $old, the
// file as it stands, holds (a file from before the list was on gives its one
// record). Runs under the posts' lock, so two posts at once cannot build on
// one list and lose each other's title. A title posted again right after
// itself replaces its entry, whose time and tags are then the newer ones:
// the first entry is always the record itself.
function render_json_with_recent(array $record, ?string $old, int $keep): string
{
    $file = $old === null ? null : json_decode($old, true);
    $list = is_array($file) ? (array_key_exists('recent', $file) ? $file['recent'] : [$file]) : [];
    $entries = array_values(array_filter(array_map('recent_entry', is_array($list) ? $list : [])));
    if ($entries && $entries[0]['title'] === $record['title']) {
        array_shift($entries);
    }
    array_unshift($entries, $record);
    return render_json($record + ['recent' => array_slice($entries, 0, $keep)]);
}

function discard(?string $temp): void
{
    global $temps;
    if ($temp !== null) {
        @unlink($temp);
        unset($temps[$temp]);
    }
}

// Writes $data to a new file beside $target, to be renamed over it later: a
// rename within one folder replaces the file at once, so readers see either
// the old file or the new one, never part of one. Returns null on failure.
function stage(string $target, string $data): ?string
{
    global $temps;
    $temp = $target . '.' . bin2hex(random_bytes(6)) . '.tmp';
    $handle = @fopen($temp, 'xb');
    if ($handle === false) {
        return null;
    }
    $temps[$temp] = true;
    $written = fwrite($handle, $data) === strlen($data) && fflush($handle);
    fclose($handle);
    // The web server may serve files as a different user than PHP runs as. A
    // host that disables chmod keeps its own standard permissions.
    if (!$written || (function_exists('chmod') && !@chmod($temp, 0644))) {
        discard($temp);
        return null;
    }
    return $temp;
}

// Temporary files of posts that were killed before they could remove them
// (while they waited for the lock, say): each post clears those of the
// files it writes.
function remove_stale_temps(array $targets): void
{
    foreach ($targets as $target) {
        $folder = dirname($target);
        $pattern = '/^' . preg_quote(basename($target), '/') . '\.[0-9a-f]{12}\.tmp\z/';
        foreach (@scandir($folder) ?: [] as $name) {
            $path = $folder . DIRECTORY_SEPARATOR . $name;
            if (preg_match($pattern, $name) && is_plain_file($path) && filemtime($path) < time() - STALE_TEMP_SECONDS) {
                @unlink($path);
            }
        }
    }
}

// Opens the lock file without following a link at its name (which would
// create or lock the file it points to), or returns false.
function open_lock(string $path)
{
    $handle = @fopen($path, 'xb');
    if ($handle !== false || !is_plain_file($path)) {
        return $handle;
    }
    $handle = @fopen($path, 'rb');
    $named = @lstat($path);
    if ($handle !== false && ($named === false || fstat($handle)['ino'] !== $named['ino']
                              || fstat($handle)['dev'] !== $named['dev'])) {
        fclose($handle);
        return false;
    }
    return $handle;
}

// Stages each target's data; returns the temporary files by target, or null
// (with none left) when one could not be written.
function stage_all(array $files): ?array
{
    $staged = [];
    foreach ($files as $target => $data) {
        $temp = stage($target, $data);
        if ($temp === null) {
            array_map('discard', $staged);
            return null;
        }
        $staged[$target] = $temp;
    }
    return $staged;
}

// Replaces every target with its data, all or none. The renames of one post
// hold a lock beside the text file, so two posts at once cannot leave the
// text from one and the image from the other; if a rename fails, the files
// already replaced get their old content back. Data given as a function is
// made under the lock from the target's content at that moment (null when
// there is none).
function store(string $lockFile, array $files): bool
{
    global $temps;
    remove_stale_temps(array_keys($files));
    $staged = stage_all(array_filter($files, 'is_string'));
    if ($staged === null) {
        return false;
    }
    $lock = open_lock($lockFile);
    if ($lock === false || !flock($lock, LOCK_EX)) {
        if ($lock !== false) {
            fclose($lock);
        }
        array_map('discard', $staged);
        return false;
    }
    $made = [];
    foreach (array_diff_key($files, $staged) as $target => $make) {
        $present = is_plain_file($target) ? @file_get_contents($target) : false;
        $made[$target] = $make($present === false ? null : $present);
    }
    $late = stage_all($made);
    if ($late === null) {
        array_map('discard', $staged);
        flock($lock, LOCK_UN);
        fclose($lock);
        return false;
    }
    // The renames keep the order of $files.
    $staged = array_replace(array_intersect_key($files, $staged + $late), $staged + $late);
    $replaced = [];
    $ok = true;
    foreach ($staged as $target => $temp) {
        // Outputs are plain files or absent (check_outputs), and stay so
        // here: a link placed since is never read through.
        $old = is_plain_file($target) ? @file_get_contents($target) : null;
        if (!@rename($temp, $target)) {
            $ok = false;
            break;
        }
        unset($temps[$temp]);
        $replaced[$target] = $old === false ? null : $old;
    }
    if (!$ok) {
        array_map('discard', $staged);
        foreach ($replaced as $target => $old) {
            $back = $old === null ? null : stage($target, $old);
            if ($back !== null && @rename($back, $target)) {
                unset($temps[$back]);
            } else {
                discard($back);
                @unlink($target);
            }
        }
    }
    flock($lock, LOCK_UN);
    fclose($lock);
    return $ok;
}

// PHP's limit on a posted form in bytes; 0 for none.
function form_limit(): int
{
    $limit = trim((string)ini_get('post_max_size'));
    $units = ['k' => 1 << 10, 'm' => 1 << 20, 'g' => 1 << 30];
    return max(0, (int)$limit * ($units[strtolower(substr($limit, -1))] ?? 1));
}

// The posted form as sent, read no further than one byte past the limit
// (PHP keeps it for a form sent as fields, not for a multipart one).
function raw_form(int $limit): string
{
    $input = @fopen('php://input', 'rb');
    $raw = $input === false ? '' : (string)stream_get_contents($input, ($limit > 0 ? $limit : MAX_FORM_BYTES) + 1);
    return $raw;
}

// PHP drops a form larger than post_max_size before the script runs, so the
// form looks empty: that must not read as a missing track field. A form sent
// in chunks has no length up front; its bytes are counted instead.
function form_too_large(int $limit, string $raw): bool
{
    $cap = $limit > 0 ? $limit : MAX_FORM_BYTES;
    return (int)($_SERVER['CONTENT_LENGTH'] ?? 0) > $cap || strlen($raw) > $cap;
}

// The name PHP files a field under, from the name as sent: PHP cuts it at a
// NUL byte, drops leading spaces, takes "name[...]" as the list "name", and
// turns spaces, dots and an unclosed "[" into "_" ('' for a field it drops).
// Two fields are one when PHP sees one name, however they were written.
function php_field_name(string $sent): string
{
    $name = ltrim(explode("\0", urldecode($sent), 2)[0], ' ');
    $bracket = strpos($name, '[');
    if ($bracket === 0) {
        return '';
    }
    if ($bracket !== false && strpos($name, ']', $bracket) !== false) {
        $name = substr($name, 0, $bracket);
    }
    return strtr($name, ' .[', '___');
}

// How many fields of url-encoded text PHP files under each of $names.
function count_fields(string $text, string $separators, array $names): array
{
    $counts = array_fill_keys($names, 0);
    foreach (preg_split('/[' . preg_quote($separators, '/') . ']/', $text) as $field) {
        $name = php_field_name(explode('=', $field, 2)[0]);
        if (isset($counts[$name])) {
            $counts[$name]++;
        }
    }
    return $counts;
}

// PHP keeps the last of two fields of one name, so a form with two titles
// would be stored as whichever came last: such a form is refused instead.
// PHP splits a posted form at "&" only. Returns the first field sent twice
// or as a list (a track sent as a list reads as no track), or null.
function repeated_field(string $raw): ?string
{
    foreach (count_fields($raw, '&', array_merge(['track', 'charset'], TAG_FIELDS)) as $name => $count) {
        if ($count > 1) {
            return $name;
        }
    }
    foreach (array_merge(['charset'], TAG_FIELDS) as $name) {
        if (isset($_POST[$name]) && !is_string($_POST[$name])) {
            return $name;
        }
    }
    return null;
}

// A posted text as one line of UTF-8, bounded as the plugin bounds it: UTF-8
// when the post is marked so (checked, since a wrong byte would make the
// JSON file unreadable), otherwise the plugin's standard Windows-1252.
function posted_text(string $sent, bool $utf8, string $what): string
{
    if (!$utf8) {
        if (strlen($sent) > MAX_TITLE_BYTES) {
            answer(400, "The $what is longer than " . MAX_TITLE_BYTES . ' bytes.');
        }
        return windows1252_to_utf8($sent);
    }
    if (strlen($sent) > MAX_UTF8_TITLE_BYTES) {
        answer(400, "The $what is longer than " . MAX_UTF8_TITLE_BYTES . ' bytes of UTF-8.');
    }
    if (!preg_match('//u', $sent)) {
        answer(400, "The $what is not valid UTF-8.");
    }
    // Unicode's own line and paragraph breaks end a line as control
    // characters do; the text file promises one line.
    return preg_replace('/[\x00-\x1F\x7F\x{85}\x{2028}\x{2029}]/u', ' ', $sent);
}

// The same for the key in the address, where a first wrong key would
// otherwise be let in by a second right one. PHP splits the address at
// each of the characters of arg_separator.input.
function has_repeated_key(): bool
{
    $query = (string)($_SERVER['QUERY_STRING'] ?? '');
    return count_fields($query, (string)ini_get('arg_separator.input'), ['key'])['key'] > 1;
}

$config = load_settings($config);
$outputs = check_settings($config);

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, 'This form handler accepts only POST requests with a track field.', ['Allow: POST']);
}
if (has_repeated_key()) {
    answer(400, "The address repeats the key field: put key=YourKey in the plugin's Form URL once.");
}
if (is_stranger()) {
    answer(403, "Wrong or missing key: put key=YourKey in the plugin's Form URL. Type a +, &, #, % or space in a key as %2B, %26, %23, %25 or %20, or use letters and digits only.");
}
$limit = form_limit();
$raw = raw_form($limit);
if (form_too_large($limit, $raw)) {
    answer(413, 'The posted form is larger than the server accepts (PHP setting post_max_size).');
}
$repeated = repeated_field($raw);
if ($repeated === 'track' || $repeated === 'charset') {
    answer(400, 'The posted form repeats the track or charset field, or sends one as a list.');
}
if ($repeated !== null) {
    answer(400, "The posted form repeats the $repeated field, or sends it as a list.");
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
$utf8 = strcasecmp($charset, 'utf-8') === 0;
$title = posted_text($track, $utf8, 'track title');
// Only the tags that were posted: a post of the title alone stores the
// JSON file it always did.
$tags = [];
foreach (TAG_FIELDS as $name) {
    if (isset($_POST[$name])) {
        $tags[$name] = posted_text($_POST[$name], $utf8, "$name field");
    }
}

$files = [$outputs['image_file'] => render_png($config, $title)];
$recent = (int)$config['recent'];
if (isset($outputs['json_file'])) {
    $files[$outputs['json_file']] = $recent === 0 ? render_json(json_record($title, $tags))
        : fn(?string $old) => render_json_with_recent(json_record($title, $tags), $old, $recent);
}
$files[$outputs['text_file']] = $title;
// Drawing is done; storing gets a time budget of its own, so that no time
// limit can end the post between two renames.
limit_time();
if (!store($outputs['text_file'] . '.lock', $files)) {
    answer(500, 'Could not write the now-playing files; check folder permissions.');
}
answer(200, 'OK');
