<?php
// Runs the shipped form handler under PHP's built-in web server and checks
// what it answers and what it writes, for the posts the plugin makes and for
// requests it must refuse. Usage: php form_handler_test.php [server folder]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';
require __DIR__ . '/answers.php';

const FORM = '/MyFormHandler.php?track=';  // the plugin's default Form URL
// The two files and the lock that keeps them in step.
const BOTH_FILES = ['nowplaying.png', 'nowplaying.txt', 'nowplaying.txt.lock'];

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$checks = new Checks();

function png_size(string $file): ?array
{
    $info = getimagesize($file);
    return $info && $info[2] === IMAGETYPE_PNG ? [$info[0], $info[1]] : null;
}


function accepted_titles(Checks $checks, string $serverFiles): void
{
    $titles = [
        // name => [form value as the plugin encodes it, text the handler stores]
        'plain words' => ['Connection+Test', 'Connection Test'],
        'punctuation' => ['Artist+%2D+Title+50%25+a%2Bb+x%26y%3Dz', 'Artist - Title 50% a+b x&y=z'],
        'Windows-1252 letters' => ['Caf%E9+%80+%93Ol%E9%94+%9F', "Caf\u{E9} \u{20AC} \u{201C}Ol\u{E9}\u{201D} \u{178}"],
        'undefined Windows-1252 bytes' => ['a%81b%8Dc%8Fd%90e%9Df', "a\u{FFFD}b\u{FFFD}c\u{FFFD}d\u{FFFD}e\u{FFFD}f"],
        'control characters' => ['a%01b%0Ac%7Fd', 'a b c d'],
        'empty title' => ['', ''],
        'path-like title' => ['..%2F..%2Fetc%2Fpasswd', '../../etc/passwd'],
        'longest title the plugin sends' => [str_repeat('%E9', 260), str_repeat("\u{E9}", 260)],
    ];
    $server = new HandlerServer($serverFiles);
    foreach ($titles as $name => [$value, $stored]) {
        $answer = $server->request('POST', FORM, "track=$value");
        $checks->equal("$name: answer", [200, "OK\n"], [$answer['status'], $answer['body']]);
        $checks->equal("$name: stored text", $stored, file_get_contents("$server->folder/nowplaying.txt"));
        $checks->equal("$name: image size", [468, 60], png_size("$server->folder/nowplaying.png"));
        $checks->equal("$name: no files but the two", BOTH_FILES, array_keys($server->files()));
    }

    $images = [];
    foreach (['Track+One', 'Track+Two', 'Track+One'] as $value) {
        $server->request('POST', FORM, "track=$value");
        $images[] = $server->files()['nowplaying.png'];
    }
    $checks->true('a new title redraws the image', $images[0] !== $images[1]);
    $checks->equal('the same title draws the same image', $images[0], $images[2]);
}

function refused_requests(Checks $checks, HandlerServer $server, string $goodTarget, array $cases): void
{
    foreach ([false, true] as $afterGoodPost) {
        $when = $afterGoodPost ? 'after a good post' : 'on a fresh server';
        if ($afterGoodPost) {
            $server->request('POST', $goodTarget, 'track=Good');
        }
        foreach ($cases as $name => [$method, $target, $body, $type, $status]) {
            $before = $server->files();
            $answer = $server->request($method, $target, $body, $type);
            $checks->equal("$name, $when: status", $status, $answer['status']);
            $checks->true("$name, $when: one-line reason", is_one_line_reason($answer['body']));
            $checks->equal("$name, $when: nothing written", $before, $server->files());
        }
    }
}

function refusals(Checks $checks, string $serverFiles): void
{
    $form = 'application/x-www-form-urlencoded';
    refused_requests($checks, new HandlerServer($serverFiles), FORM, [
        'a browser\'s GET' => ['GET', '/MyFormHandler.php?track=Song', '', $form, 405],
        'PUT' => ['PUT', FORM, 'track=Song', $form, 405],
        'no track field' => ['POST', FORM, 'title=Song', $form, 400],
        'track only in the address' => ['POST', '/MyFormHandler.php?track=Song', 'other=1', $form, 400],
        'track as a list' => ['POST', FORM, 'track[]=Song', $form, 400],
        'body that is no form' => ['POST', FORM, 'track=Song', 'text/plain', 400],
        '261 bytes' => ['POST', FORM, 'track=' . str_repeat('x', 261), $form, 400],
        '261 encoded bytes' => ['POST', FORM, 'track=' . str_repeat('%E9', 261), $form, 400],
    ]);

    $keyed = new HandlerServer($serverFiles);
    $keyed->configure("<?php return ['key' => 'S3cret'];");
    $withKey = '/MyFormHandler.php?key=S3cret&track=';
    refused_requests($checks, $keyed, $withKey, [
        'no key' => ['POST', FORM, 'track=Song', $form, 403],
        'key of the wrong case' => ['POST', '/MyFormHandler.php?key=s3cret&track=', 'track=Song', $form, 403],
        'key in the form only' => ['POST', FORM, 'key=S3cret&track=Song', $form, 403],
        'key as a list' => ['POST', '/MyFormHandler.php?key[]=S3cret&track=', 'track=Song', $form, 403],
    ]);
    $keyed->request('POST', $withKey, 'track=Keyed');
    $checks->equal('the right key is accepted', 'Keyed', file_get_contents("$keyed->folder/nowplaying.txt"));
}

function settings(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->makeFolder('out');
    $server->configure("<?php return ['width' => 200, 'height' => 40, 'label' => '',
        'text_file' => __DIR__ . '/out/title.txt', 'image_file' => __DIR__ . '/out/title.png'];");
    $server->request('POST', FORM, 'track=Elsewhere');
    $checks->equal('output paths from the settings', ['title.png', 'title.txt', 'title.txt.lock'], array_keys($server->files('out/')));
    $checks->equal('image size from the settings', [200, 40], png_size("$server->folder/out/title.png"));

    $font = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf';
    $server->configure("<?php return ['font' => '$font'];");
    $answer = $server->request('POST', FORM, 'track=Caf%E9+%93TrueType%94');
    $checks->equal('a TrueType font draws the image', [200, [468, 60]],
                   [$answer['status'], png_size("$server->folder/nowplaying.png")]);

    $failures = [
        'text file in a missing folder' => "['text_file' => __DIR__ . '/missing/nowplaying.txt']",
        'image in a missing folder' => "['image_file' => __DIR__ . '/missing/nowplaying.png']",
        'colour that is no #RRGGBB' => "['title_colour' => 'white']",
        'missing font file' => "['font' => '/nonexistent/font.ttf']",
        'settings file that returns no array' => '5',
    ];
    foreach ($failures as $name => $settings) {
        $fresh = new HandlerServer($serverFiles);
        $fresh->configure("<?php return $settings;");
        $answer = $fresh->request('POST', FORM, 'track=Song');
        $checks->equal("$name: status", 500, $answer['status']);
        $checks->true("$name: one-line reason", is_one_line_reason($answer['body']));
        $checks->equal("$name: nothing written", [], $fresh->files());
    }
}


const DEJAVU = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf';
// Latin and Cyrillic, Japanese, then emoji and other symbols.
const VLGOTHIC = '/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf';
const FONT_LIST = "['" . DEJAVU . "', '" . VLGOTHIC . "',"
    . " '/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf']";

// A font collection (.ttc, as Windows ships its Japanese and Chinese fonts)
// holding one font: a collection header before it, and its table offsets
// moved past that header.
function as_collection(string $font): string
{
    $header = 'ttcf' . pack('nnNN', 1, 0, 1, 16);
    $tables = unpack('n', $font, 4)[1];
    for ($i = 0; $i < $tables; $i++) {
        $at = 12 + 16 * $i + 8;
        $font = substr_replace($font, pack('N', unpack('N', $font, $at)[1] + 16), $at, 4);
    }
    return $header . $font;
}

// A settings file that prints or fails must be refused with its cause, with
// PHP's output buffering on and off: without buffering, a printing settings
// file once let a wrong key pass as 200. The cause is told to the holder of
// the key; a post with a wrong key learns nothing of it.
function broken_settings_files(Checks $checks, string $serverFiles): void
{
    $cases = [
        // name => [settings file text, words the reason must hold]
        'byte order mark' => ["\xEF\xBB\xBF<?php return ['key' => 'K'];", 'byte order mark'],
        'blank line before <?php' => ["\n<?php return ['key' => 'K'];", 'blank space'],
        'an echo' => ["<?php echo 'hello'; return ['key' => 'K'];", 'prints text'],
        'exit with a message' => ["<?php exit('bye');", 'stops the script'],
        'parse error' => ["<?php return ['key' => ;", 'fails on line 1'],
        'thrown error' => ["<?php\nthrow new Exception('broken');", 'fails on line 2: broken'],
        'fatal error' => ["<?php\nfunction f() {}\nfunction f() {}", 'PHP error in MyFormHandler.config.php line 3'],
        'image of 100000 pixels' => ["<?php return ['width' => 100000, 'height' => 100000];", 'width is not a whole number'],
        'width as a word' => ["<?php return ['width' => 'wide'];", 'width is not a whole number'],
        'image file is the text file' => ["<?php return ['image_file' => __DIR__ . '/nowplaying.txt'];", 'different files'],
        'json file is the image file' => ["<?php return ['json_file' => __DIR__ . '/nowplaying.png'];", 'different files'],
        'label that is no text' => ["<?php return ['label' => ['Now']];", 'label is not a text'],
        'font file that is no font' => ["<?php return ['font' => __FILE__];", 'not a TrueType or OpenType font'],
        'font that is no number or file' => ["<?php return ['font' => 9];", 'font is not 1 to 5'],
        'font size too large' => ["<?php return ['font' => '" . DEJAVU . "', 'font_size' => 200];", 'too large for the image height'],
        'colour with a line end' => ["<?php return ['title_colour' => \"#FFFFFF\\n\"];", 'title_colour is not a colour'],
    ];
    foreach (['0', '4096'] as $buffer) {
        $server = new HandlerServer($serverFiles, ['output_buffering' => $buffer]);
        $server->request('POST', FORM, 'track=Before');
        foreach ($cases as $name => [$settings, $words]) {
            $server->configure($settings);
            $before = $server->files();
            $answer = $server->request('POST', '/MyFormHandler.php?key=K&track=', 'track=Song');
            $label = "$name, output_buffering $buffer";
            $checks->equal("$label: status", 500, $answer['status']);
            $checks->true("$label: one-line reason naming the cause ({$answer['body']})",
                          is_one_line_reason($answer['body']) && str_contains($answer['body'], $words));
            $checks->equal("$label: nothing written", $before, $server->files());
            if (str_contains($settings, "'key' => 'K'")) {
                $stranger = $server->request('POST', '/MyFormHandler.php?key=wrong&track=', 'track=Song');
                $checks->equal("$label, wrong key: refused without the cause", [500, HIDDEN_REASON],
                               [$stranger['status'], $stranger['body']]);
                $checks->equal("$label, wrong key: nothing written", $before, $server->files());
            }
        }
        $server->configure("<?php return ['colour' => '#FFFFFF'];");
        $answer = $server->request('POST', FORM, 'track=After');
        $checks->equal("unknown setting, output_buffering $buffer: still accepted", 200, $answer['status']);
        $checks->true("unknown setting, output_buffering $buffer: logged",
                      str_contains($server->log(), "unknown setting 'colour'"));
    }
}

// PHP drops an oversized form before the handler runs, and may print a
// start-up warning about it.
function oversized_form(Checks $checks, string $serverFiles): void
{
    foreach (['0', '4096'] as $buffer) {
        $server = new HandlerServer($serverFiles, ['post_max_size' => '1K', 'display_errors' => '1',
                                                   'output_buffering' => $buffer]);
        $answer = $server->request('POST', FORM, 'track=' . str_repeat('x', 2000));
        $checks->equal("form over post_max_size, output_buffering $buffer: status", 413, $answer['status']);
        $checks->true("form over post_max_size, output_buffering $buffer: one-line reason, no start-up warning",
                      is_one_line_reason($answer['body']) && str_contains($answer['body'], 'post_max_size'));
        $checks->equal("form over post_max_size, output_buffering $buffer: nothing written", [], $server->files());
    }
}

// Titles the plugin's Unicode mode sends, marked charset=utf-8, and the same
// bytes without the mark, which are Windows-1252 as always.
function unicode_titles(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $accepted = [
        'Japanese' => "\u{6708}\u{5149} - \u{591C}\u{306E}\u{8857}",
        'Cyrillic' => "\u{041A}\u{0438}\u{043D}\u{043E} - \u{0413}\u{0440}\u{0443}\u{043F}\u{043F}\u{0430} \u{043A}\u{0440}\u{043E}\u{0432}\u{0438}",
        'emoji' => "Party \u{1F389}\u{1F3B5}",
        '780 bytes' => str_repeat("\u{3042}", 260),
    ];
    foreach ($accepted as $name => $title) {
        $answer = $server->request('POST', FORM, 'track=' . urlencode($title) . '&charset=utf-8');
        $checks->equal("UTF-8 $name: answer", [200, "OK\n"], [$answer['status'], $answer['body']]);
        $checks->equal("UTF-8 $name: stored as sent", $title, file_get_contents("$server->folder/nowplaying.txt"));
    }
    $server->request('POST', FORM, 'track=a%0Ab&charset=UTF-8');
    $checks->equal('UTF-8 mark in capitals, control character', 'a b', file_get_contents("$server->folder/nowplaying.txt"));
    $server->request('POST', FORM, 'track=' . urlencode("\u{e9}"));
    $checks->equal('the same bytes without the mark are Windows-1252', "\u{c3}\u{a9}",
                   file_get_contents("$server->folder/nowplaying.txt"));
    $server->request('POST', FORM, 'track=' . urlencode("\u{e9}") . '&charset=latin1');
    $checks->equal('another charset value means Windows-1252', "\u{c3}\u{a9}",
                   file_get_contents("$server->folder/nowplaying.txt"));

    refused_requests($checks, $server, FORM, [
        'UTF-8 of 781 bytes' => ['POST', FORM, 'track=' . urlencode(str_repeat("\u{3042}", 260) . 'x') . '&charset=utf-8',
                                 'application/x-www-form-urlencoded', 400],
        'lone continuation byte' => ['POST', FORM, 'track=a%80b&charset=utf-8', 'application/x-www-form-urlencoded', 400],
        'overlong encoding' => ['POST', FORM, 'track=%C0%AF&charset=utf-8', 'application/x-www-form-urlencoded', 400],
        'encoded surrogate' => ['POST', FORM, 'track=%ED%A0%80&charset=utf-8', 'application/x-www-form-urlencoded', 400],
        'cut-off sequence' => ['POST', FORM, 'track=%E3%81&charset=utf-8', 'application/x-www-form-urlencoded', 400],
    ]);
    $answer = $server->request('POST', FORM, 'track=%FF&charset=utf-8');
    $checks->equal('invalid UTF-8: its reason', "The track title is not valid UTF-8.\n", $answer['body']);
}

// Ink is every pixel that is not the background colour.
function ink(string $png): int
{
    $image = imagecreatefromstring($png);
    $background = imagecolorat($image, 0, 0);
    $count = 0;
    for ($y = 0; $y < imagesy($image); $y++) {
        for ($x = 0; $x < imagesx($image); $x++) {
            $count += imagecolorat($image, $x, $y) !== $background ? 1 : 0;
        }
    }
    return $count;
}

// Draws a title with the given settings and returns the PNG's hash, or the
// handler's reason when it refused.
function drawn(HandlerServer $server, string $settings, string $title): string
{
    $server->configure("<?php return $settings;");
    $answer = $server->request('POST', FORM, 'track=' . urlencode($title) . '&charset=utf-8');
    return $answer['status'] === 200 ? md5_file("$server->folder/nowplaying.png") : $answer['body'];
}

// A title in a script the font lacks comes out as "?" marks (built-in font)
// or as empty boxes (TrueType): a list of fonts must draw real glyphs.
function non_latin_glyphs(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $japanese = "\u{65E5}\u{672C}\u{8A9E}";
    $checks->equal('built-in font draws Japanese as "?" marks', drawn($server, "['label' => '']", '???'),
                   drawn($server, "['label' => '']", $japanese));
    $titles = ['Japanese' => $japanese, 'Cyrillic' => "\u{0416}\u{0418}\u{0417}", 'emoji' => "\u{2615}\u{26A1}\u{2728}\u{2764}"];
    foreach ($titles as $name => $title) {
        $listed = drawn($server, "['label' => '', 'font' => " . FONT_LIST . "]", $title);
        $listedInk = ink(file_get_contents("$server->folder/nowplaying.png"));
        $marks = drawn($server, "['label' => '', 'font' => " . FONT_LIST . "]", str_repeat('?', preg_match_all('/./u', $title)));
        $checks->true("font list draws $name, not \"?\" marks", $listed !== $marks);
        $checks->true("font list draws $name with ink", $listedInk > 40);
        if ($name !== 'Cyrillic') {
            $boxes = drawn($server, "['label' => '', 'font' => '" . DEJAVU . "']", $title);
            $checks->true("font list draws $name, not the boxes of a font that lacks it", $listed !== $boxes);
        }
    }
    $checks->equal('emoji beyond U+FFFF are drawn as U+FFFD',
                   drawn($server, "['font' => " . FONT_LIST . "]", "a\u{FFFD}\u{FFFD}&#65;"),
                   drawn($server, "['font' => " . FONT_LIST . "]", "a\u{1F3B5}\u{1F389}&#65;"));
    $checks->true('an ampersand is drawn as itself', drawn($server, "['font' => '" . DEJAVU . "']", '&#65;')
                  !== drawn($server, "['font' => '" . DEJAVU . "']", 'A'));
    $ttc = "$server->folder/japanese.ttc";
    file_put_contents($ttc, as_collection(file_get_contents(VLGOTHIC)));
    $checks->equal('a font collection draws as its first font', drawn($server, "['font' => ['" . DEJAVU . "', '" . VLGOTHIC . "']]", $japanese),
                   drawn($server, "['font' => ['" . DEJAVU . "', '$ttc']]", $japanese));
    $latin = drawn($server, "['font' => '" . DEJAVU . "']", 'Caf' . "\u{e9}");
    $checks->equal('a one-entry list draws as the font alone', $latin,
                   drawn($server, "['font' => ['" . DEJAVU . "']]", 'Caf' . "\u{e9}"));
}

function json_file(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
    $title = '<script>alert("x")</script> & \'<?php';
    $server->request('POST', FORM, 'track=' . urlencode($title));
    $raw = file_get_contents("$server->folder/nowplaying.json");
    $json = json_decode($raw, true);
    $checks->equal('JSON carries the stored title', file_get_contents("$server->folder/nowplaying.txt"), $json['title']);
    $checks->true('JSON holds no markup characters in the clear', strpbrk($raw, "<>&'") === false);
    $checks->true('JSON has the time it was stored', abs(strtotime($json['stored']) - time()) < 60);
    $checks->equal('JSON file beside the others', ['nowplaying.json', 'nowplaying.png', 'nowplaying.txt', 'nowplaying.txt.lock'],
                   array_keys($server->files()));
}

// The tags the plugin posts beside the title with PostFields=1 go to the JSON
// file only, decoded and bounded as the title is; the text file and the
// image stay those of the title alone.
function posted_tags(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
    $server->request('POST', FORM, 'track=A+-+S');
    $titleOnly = $server->files();
    $hostile = "</script><b>'x'</b> & \"y\"";
    $rows = [
        // name => [form after the title, JSON keys after title and stored]
        'title alone' => ['', []],
        'Windows-1252 tags, one empty' => ['&artist=Caf%E9+%80&album=&song=S%01T',
                                           ['artist' => "Caf\u{E9} \u{20AC}", 'album' => '', 'song' => 'S T']],
        'UTF-8 tags' => ['&charset=utf-8&artist=' . urlencode("\u{6708}\u{1F3B5}") . '&album=B&song=' . urlencode("a\u{2028}b"),
                         ['artist' => "\u{6708}\u{1F3B5}", 'album' => 'B', 'song' => 'a b']],
        'longest tags' => ['&artist=' . str_repeat('%E9', 260) . '&song=S',
                           ['artist' => str_repeat("\u{E9}", 260), 'song' => 'S']],
        'hostile tags' => ['&artist=' . urlencode($hostile) . '&album=a&song=s', ['artist' => $hostile, 'album' => 'a', 'song' => 's']],
    ];
    foreach ($rows as $name => [$form, $tags]) {
        $answer = $server->request('POST', FORM, "track=A+-+S$form");
        $raw = file_get_contents("$server->folder/nowplaying.json");
        $json = json_decode($raw, true);
        $checks->equal("$name: answer", [200, "OK\n"], [$answer['status'], $answer['body']]);
        $checks->equal("$name: JSON", ['title' => 'A - S'] + $tags, array_diff_key((array)$json, ['stored' => 1]));
        $checks->true("$name: JSON holds no markup characters in the clear", strpbrk($raw, "<>&'") === false);
        $checks->equal("$name: text and image as for the title alone",
                       array_diff_key($titleOnly, ['nowplaying.json' => 1]),
                       array_diff_key($server->files(), ['nowplaying.json' => 1]));
    }
    $form = 'application/x-www-form-urlencoded';
    refused_requests($checks, $server, FORM, [
        'tag of 261 bytes' => ['POST', FORM, 'track=T&artist=' . str_repeat('x', 261), $form, 400],
        'UTF-8 tag of 781 bytes' => ['POST', FORM, 'track=T&charset=utf-8&album=' . str_repeat('%E3%81%82', 260) . 'x', $form, 400],
        'tag not UTF-8' => ['POST', FORM, 'track=T&charset=utf-8&song=a%80b', $form, 400],
        'tag sent twice' => ['POST', FORM, 'track=T&artist=A&artist=B', $form, 400],
        'tag as a list' => ['POST', FORM, 'track=T&song[]=S', $form, 400],
    ]);
    $checks->equal('a tag too long: its reason', "The artist field is longer than 260 bytes.\n",
                   $server->request('POST', FORM, 'track=T&artist=' . str_repeat('x', 261))['body']);
}

// The files of one post are replaced all together or not at all.
function files_in_step(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
    for ($round = 1; $round <= 10; $round++) {
        $requests = [];
        for ($post = 1; $post <= 8; $post++) {
            $requests[] = ['POST', FORM, "track=Round+$round+post+$post", 'application/x-www-form-urlencoded'];
        }
        $answers = $server->requestAll($requests);
        $checks->equal("round $round: every post accepted", array_fill(0, 8, 200), array_column($answers, 'status'));
        $text = file_get_contents("$server->folder/nowplaying.txt");
        $image = md5_file("$server->folder/nowplaying.png");
        $json = json_decode(file_get_contents("$server->folder/nowplaying.json"), true)['title'];
        $server->request('POST', FORM, 'track=' . urlencode($text));
        $checks->equal("round $round: text, JSON and image from one post", [$text, $image],
                       [$json, md5_file("$server->folder/nowplaying.png")]);
    }

    $server->makeFolder('blocked');
    file_put_contents("$server->folder/blocked/keep", 'x');
    $before = $server->files();
    $server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json', 'text_file' => __DIR__ . '/blocked'];");
    $answer = $server->request('POST', FORM, 'track=Never');
    $checks->equal('a folder at the text file\'s name: refused', 500, $answer['status']);
    $checks->equal('a folder at the text file\'s name: nothing changes', $before, $server->files());

    // A rename that fails after the image and the JSON file were renamed:
    // while this test holds the lock, the post has staged its files and
    // waits; the text file then becomes a folder, which no file can replace.
    $server->configure("<?php return ['json_file' => __DIR__ . '/nowplaying.json'];");
    $lock = fopen("$server->folder/nowplaying.txt.lock", 'c');
    flock($lock, LOCK_EX);
    $post = $server->send("POST " . FORM . " HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                          . "Content-Length: 11\r\n\r\ntrack=Never");
    $staged = wait_until(fn() => glob("$server->folder/nowplaying.txt.*.tmp") !== [], 30);
    unlink("$server->folder/nowplaying.txt");
    $server->makeFolder('nowplaying.txt');
    file_put_contents("$server->folder/nowplaying.txt/keep", 'x');
    flock($lock, LOCK_UN);
    fclose($lock);
    $answer = $server->answer($post);
    $checks->true('failed rename: the post staged its files and waited for the lock', $staged);
    $checks->equal('failed rename: refused', 500, $answer['status']);
    $checks->equal('failed rename: image and JSON keep their old content, no file is left behind',
                   array_diff_key($before, ['nowplaying.txt' => 1]), $server->files());
}

// Waits for a condition that some other process brings about; false when it
// did not come within the limit.
function wait_until(callable $condition, float $seconds): bool
{
    $deadline = microtime(true) + $seconds;
    while (!$condition()) {
        if (microtime(true) > $deadline) {
            return false;
        }
        usleep(20000);
    }
    return true;
}

// nowplaying.php sends whole files while the handler replaces them, under
// posts and reads at once for at most two seconds.
function reader_script(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $checks->equal('reader before any post', 404, $server->request('GET', '/nowplaying.php')['status']);
    $titles = ['Short', str_repeat('A much longer title with many more pixels ', 5)];
    $known = [];
    foreach ($titles as $title) {
        $server->request('POST', FORM, 'track=' . urlencode($title));
        $known[md5_file("$server->folder/nowplaying.png")] = true;
    }
    $text = $server->request('GET', '/nowplaying.php?file=text');
    $checks->equal('reader serves the text', [200, $titles[1]], [$text['status'], $text['body']]);
    $checks->equal('reader refuses other files', 404, $server->request('GET', '/nowplaying.php?file=../x')['status']);

    $reads = $whole = 0;
    $deadline = microtime(true) + 2;
    while (microtime(true) < $deadline) {
        $requests = [];
        foreach ($titles as $title) {
            $requests[] = ['POST', FORM, 'track=' . urlencode($title), 'application/x-www-form-urlencoded'];
            $requests[] = ['GET', '/nowplaying.php', '', 'text/plain'];
        }
        foreach ($server->requestAll($requests) as $answer) {
            if (!preg_match('/^HTTP\/1\.[01] 200/', $answer['head']) || !preg_match('/^Content-Type: image\/png/mi', $answer['head'])) {
                continue;
            }
            $reads++;
            preg_match('/^Content-Length: (\d+)/mi', $answer['head'], $length);
            $whole += (int)($length[1] ?? -1) === strlen($answer['body']) && isset($known[md5($answer['body'])]) ? 1 : 0;
        }
    }
    $checks->true("reader read the image while it changed ($reads reads)", $reads > 0);
    $checks->equal('every read is one whole image', $reads, $whole);
}

accepted_titles($checks, $serverFiles);
refusals($checks, $serverFiles);
settings($checks, $serverFiles);
broken_settings_files($checks, $serverFiles);
oversized_form($checks, $serverFiles);
unicode_titles($checks, $serverFiles);
non_latin_glyphs($checks, $serverFiles);
json_file($checks, $serverFiles);
posted_tags($checks, $serverFiles);
files_in_step($checks, $serverFiles);
reader_script($checks, $serverFiles);
exit($checks->finish());
