<?php
// Posts to the shipped form handler what a careless setting or a hostile
// poster can send, and checks that nothing becomes code, no file is written
// through another name, a link or a FIFO, nothing is left behind, settings
// that draw nothing are refused, a stranger learns nothing of the server's
// folders, and a slow title cannot hold the server. Runs under the web server
// that TUNEWIRE_HANDLER_SERVER names (see handler_server.php).
// Usage: php handler_safety_test.php [server folder]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';
require __DIR__ . '/answers.php';

const FORM = '/MyFormHandler.php?track=';
const DEJAVU = '/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf';
// The font list readme.txt gives for a Debian server.
const FONT_LIST = "['" . DEJAVU . "', '/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf',"
    . " '/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf']";

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$checks = new Checks();


// Every file and folder under the served folder (links as links), with a hash
// of each file's content, so that any write shows.
function tree(string $folder): array
{
    $found = [];
    $items = new RecursiveIteratorIterator(new RecursiveDirectoryIterator($folder, FilesystemIterator::SKIP_DOTS),
                                           RecursiveIteratorIterator::SELF_FIRST);
    foreach ($items as $path => $item) {
        $name = substr($path, strlen($folder) + 1);
        $found[$name] = is_link($path) ? 'link ' . readlink($path)
            : (is_file($path) ? md5_file($path) : filetype($path));
    }
    ksort($found);
    return $found;
}

// Settings files that must be refused with a reason holding the words given,
// writing nothing at all.
function refused_settings(Checks $checks, HandlerServer $server, array $cases): void
{
    foreach ($cases as $name => [$settings, $words]) {
        $server->configure("<?php return $settings;");
        $before = tree($server->folder);
        $answer = $server->request('POST', FORM, 'track=%3C%3Fphp+echo+6*7%3B');
        $checks->equal("$name: status", 500, $answer['status']);
        $checks->true("$name: one-line reason with \"$words\" ({$answer['body']})",
                      is_one_line_reason($answer['body']) && str_contains($answer['body'], $words));
        $checks->equal("$name: nothing written", $before, tree($server->folder));
    }
}

// A title must never be written where the web server runs or serves it as a
// script or a page, nor over the handler's own files.
function no_code_from_a_title(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->request('POST', FORM, 'track=First');
    $script = 'names a script, a web page or a file of the handler';
    refused_settings($checks, $server, [
        'text file over nowplaying.php' => ["['text_file' => __DIR__ . '/nowplaying.php']", $script],
        'text file over the settings file' => ["['text_file' => __FILE__]", $script],
        'image over the handler, in capitals' => ["['image_file' => __DIR__ . '/MYFORMHANDLER.PHP']", $script],
        'JSON file over the overlay' => ["['json_file' => __DIR__ . '/overlay.html']", $script],
        'text file over the readme' => ["['text_file' => __DIR__ . '/readme.txt']", $script],
        'text file over the settings example' => ["['text_file' => __DIR__ . '/MyFormHandler.config.example.php']", $script],
        'a new .phtml' => ["['text_file' => __DIR__ . '/title.phtml']", $script],
        'a new .phar' => ["['text_file' => __DIR__ . '/title.phar']", $script],
        'a new .php5' => ["['text_file' => __DIR__ . '/title.php5']", $script],
        'a new .htaccess' => ["['text_file' => __DIR__ . '/.htaccess']", $script],
        'a new .user.ini' => ["['text_file' => __DIR__ . '/.user.ini']", $script],
        'a new .html' => ["['json_file' => __DIR__ . '/title.html']", $script],
        'a new .htm' => ["['image_file' => __DIR__ . '/title.HTM']", $script],
    ]);
    $reader = $server->request('GET', '/nowplaying.php?file=text');
    $checks->equal('nowplaying.php still serves the title, not code', [200, 'First'], [$reader['status'], $reader['body']]);
}

// Names of one file, however written, are one file.
function one_file_two_names(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->request('POST', FORM, 'track=First');
    $different = 'must name different files';
    refused_settings($checks, $server, [
        'image as the text file through /./' => ["['image_file' => __DIR__ . '/./nowplaying.txt']", $different],
        'image as the text file through ../' => ["['image_file' => __DIR__ . '/../' . basename(__DIR__) . '/nowplaying.txt']", $different],
        'JSON file as the text file by a relative name' => ["['json_file' => 'nowplaying.txt']", $different],
        'JSON file as the image in other letter case' => ["['json_file' => __DIR__ . '/NowPlaying.png']", $different],
        'image as the lock file' => ["['image_file' => __DIR__ . '/nowplaying.txt.lock']", $different],
        'a folder alone' => ["['text_file' => '//']", 'text_file is not a file name'],
        'a name ending in a slash' => ["['image_file' => __DIR__ . '/title.png/']", 'image_file is not a file name'],
        'a missing folder' => ["['text_file' => __DIR__ . '/missing/title.txt']", 'names a folder that does not exist'],
    ]);
    $server->configure("<?php return ['text_file' => 'title.txt', 'image_file' => 'title.png'];");
    $answer = $server->request('POST', FORM, 'track=Relative');
    $checks->equal('relative names are in the handler\'s folder', [200, 'Relative'],
                   [$answer['status'], (string)@file_get_contents("$server->folder/title.txt")]);
}

// A setting that differs from "key" by letter case or blank space is a
// mistake, not a setting to ignore: the handler would be open to everyone.
function misspelt_key(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    foreach (['Key', 'KEY', ' key', "key\t"] as $name) {
        $server->configure('<?php return [' . var_export($name, true) . " => 'S3cret'];");
        $label = 'key setting ' . json_encode($name);
        $owner = $server->request('POST', '/MyFormHandler.php?key=S3cret&track=', 'track=Song');
        $checks->equal("$label: refused", 500, $owner['status']);
        $checks->true("$label: the reason names it ({$owner['body']})", is_one_line_reason($owner['body'])
                      && str_contains($owner['body'], "setting '" . str_replace("\t", ' ', $name) . "'"));
        $stranger = $server->request('POST', FORM, 'track=Song');
        $checks->equal("$label: a post without the key learns nothing", [500, HIDDEN_REASON],
                       [$stranger['status'], $stranger['body']]);
        $checks->equal("$label: nothing written", [], $server->files());
    }
    $server->configure("<?php return ['Width' => 300];");
    $answer = $server->request('POST', FORM, 'track=Song');
    $checks->true("other settings in capitals are refused too ({$answer['body']})",
                  $answer['status'] === 500 && str_contains($answer['body'], "'Width'; write it as width"));
}

// The handler writes plain files only: never through a link, never into a
// FIFO (which would hang every post), never a lock that is a link.
function links_and_special_files(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->request('POST', FORM, 'track=First');
    $server->makeFolder('private');
    file_put_contents("$server->folder/private/secret.txt", 'SECRET');
    $plain = 'writes plain files only';

    unlink("$server->folder/nowplaying.png");
    symlink("$server->folder/private/secret.txt", "$server->folder/nowplaying.png");
    refused_settings($checks, $server, ['image that is a link to a private file' => ['[]', "$plain, and nowplaying.png is a link"]]);
    unlink("$server->folder/nowplaying.png");

    symlink("$server->folder/private/missing.txt", "$server->folder/nowplaying.png");
    refused_settings($checks, $server, ['image that is a link to nothing' => ['[]', "$plain, and nowplaying.png is a link"]]);
    $checks->true('the link\'s target is not created', !file_exists("$server->folder/private/missing.txt"));
    unlink("$server->folder/nowplaying.png");

    unlink("$server->folder/nowplaying.txt.lock");
    symlink("$server->folder/private/made.lock", "$server->folder/nowplaying.txt.lock");
    refused_settings($checks, $server, ['lock that is a link' => ['[]', "$plain, and nowplaying.txt.lock is a link"]]);
    $checks->true('the lock link\'s target is not created', !file_exists("$server->folder/private/made.lock"));
    unlink("$server->folder/nowplaying.txt.lock");

    foreach (['nowplaying.txt', 'nowplaying.txt.lock'] as $name) {
        @unlink("$server->folder/$name");
        posix_mkfifo("$server->folder/$name", 0666);
        refused_settings($checks, $server, ["FIFO at $name" => ['[]', "$plain, and $name is a link, a folder or a special file"]]);
        unlink("$server->folder/$name");
    }
    $answer = $server->request('POST', FORM, 'track=After');
    $checks->equal('plain files again: accepted', [200, 'After'],
                   [$answer['status'], file_get_contents("$server->folder/nowplaying.txt")]);
    $checks->true('no private content was published', !in_array(md5('SECRET'), $server->files(), true));
}

// Temporary files go however a post ends, and those of posts that were
// killed go at the next post.
function no_files_left_behind(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return ['text_file' => __DIR__ . \"/now\\0playing.txt\"];");
    $answer = $server->request('POST', FORM, 'track=Song');
    $checks->equal('text file name with a NUL byte: a reason, not a stack trace',
                   [500, "Handler setting text_file is not a file name.\n"], [$answer['status'], $answer['body']]);
    $checks->equal('text file name with a NUL byte: no file left', [], $server->files());

    $server->configure('<?php return [];');
    $stale = "$server->folder/nowplaying.png.0123456789ab.tmp";
    $fresh = "$server->folder/nowplaying.txt.ba9876543210.tmp";
    $other = "$server->folder/holiday.png.0123456789ab.tmp";
    foreach ([$stale, $fresh, $other] as $file) {
        file_put_contents($file, 'left by a killed post');
    }
    touch($stale, time() - 120);
    touch($other, time() - 120);
    $server->request('POST', FORM, 'track=Song');
    $checks->equal('a killed post\'s temporary file older than a minute goes, a newer one and others stay',
                   [false, true, true], [file_exists($stale), file_exists($fresh), file_exists($other)]);

    $noChmod = new HandlerServer($serverFiles, ['disable_functions' => 'chmod']);
    $answer = $noChmod->request('POST', FORM, 'track=Song');
    $checks->equal('chmod disabled by the host: the post is stored', [200, 'Song'],
                   [$answer['status'], (string)@file_get_contents("$noChmod->folder/nowplaying.txt")]);
    $checks->equal('chmod disabled by the host: no temporary file left',
                   ['nowplaying.png', 'nowplaying.txt', 'nowplaying.txt.lock'], array_keys($noChmod->files()));
}

// Sizes that draw nothing readable, or nothing at all.
function drawable_settings(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $side = 'is not a whole number of pixels from 16 to 4000';
    $size = 'font_size is not a number from 4 to 200';
    refused_settings($checks, $server, [
        'width 0' => ["['width' => 0]", "width $side"],
        'width 15' => ["['width' => 15]", "width $side"],
        'negative height' => ["['height' => -60]", "height $side"],
        'height 4001' => ["['height' => 4001]", "height $side"],
        'font size NAN' => ["['font' => '" . DEJAVU . "', 'font_size' => NAN]", $size],
        'font size INF' => ["['font' => '" . DEJAVU . "', 'font_size' => INF]", $size],
        'font size near 0' => ["['font' => '" . DEJAVU . "', 'font_size' => 1e-9]", $size],
        'font size 3' => ["['font' => '" . DEJAVU . "', 'font_size' => '3']", $size],
        'font size 201' => ["['font' => '" . DEJAVU . "', 'font_size' => 201]", $size],
    ]);
    $server->configure("<?php return ['width' => 16, 'height' => 4000, 'font' => '" . DEJAVU . "', 'font_size' => 4];");
    $checks->equal('the smallest sizes are drawn', 200, $server->request('POST', FORM, 'track=Song')['status']);
}

// Settings mistakes are told to the holder of the key only, and name no
// folder of the server; the log keeps the whole reason.
function settings_mistakes_told_to_the_owner(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php\nthrow new Exception('cannot open ' . __FILE__);");
    $answer = $server->request('POST', FORM, 'track=Song');
    $checks->equal('a failing settings file: its reason, without the folder',
                   [500, "MyFormHandler.config.php fails on line 2: cannot open MyFormHandler.config.php\n"],
                   [$answer['status'], $answer['body']]);
    $checks->true('a failing settings file: the log has the whole path',
                  str_contains($server->log(), "cannot open $server->folder/MyFormHandler.config.php"));

    $server->configure("<?php return ['key' => 'S3cret', 'width' => 'wide'];");
    foreach (['a post without the key' => FORM, 'a post with a wrong key' => '/MyFormHandler.php?key=guess&track=',
              'a post with a wrong key, then the key' => '/MyFormHandler.php?key=guess&key=S3cret&track=',
              'a browser' => '/MyFormHandler.php'] as $who => $target) {
        $answer = $server->request($who === 'a browser' ? 'GET' : 'POST', $target, 'track=Song');
        $checks->equal("broken settings with a key, $who: a reason that names nothing", [500, HIDDEN_REASON],
                       [$answer['status'], $answer['body']]);
    }
    $answer = $server->request('POST', '/MyFormHandler.php?key=S3cret&track=', 'track=Song');
    $checks->equal('broken settings with a key, the owner: the reason', [500, "Handler setting width is not a whole number of pixels from 16 to 4000.\n"],
                   [$answer['status'], $answer['body']]);

    $server->configure("<?php return ['key' => 'S3cret'];");
    $answer = $server->request('POST', FORM, 'track=Song');
    $checks->true("the wrong-key answer says how to type a key's special characters ({$answer['body']})",
                  $answer['status'] === 403 && str_contains($answer['body'], '%2B, %26, %23, %25 or %20'));
}

// The text file is one line, and a request gives one title and one key.
function one_title_one_line(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles, ['post_max_size' => '1K', 'arg_separator.input' => '&;']);
    $server->request('POST', FORM, 'track=' . urlencode("a\u{85}b\u{2028}c\u{2029}d") . '&charset=utf-8');
    $checks->equal('UTF-8 line and paragraph breaks become spaces', 'a b c d',
                   file_get_contents("$server->folder/nowplaying.txt"));
    $server->request('POST', FORM, 'track=a%85b');
    $checks->equal('byte 85 of Windows-1252 stays an ellipsis', "a\u{2026}b", file_get_contents("$server->folder/nowplaying.txt"));

    // The key in the address is refused when repeated too; this server
    // splits the address at ";" as well as "&", as some hosts do.
    $server->configure("<?php return ['key' => 'RIGHT'];");
    $before = $server->files();
    $repeats = [400, "The posted form repeats the track or charset field, or sends one as a list.\n"];
    $twoKeys = [400, "The address repeats the key field: put key=YourKey in the plugin's Form URL once.\n"];
    foreach (['two titles' => ['key=RIGHT', 'track=A&track=B', $repeats],
              'a title and a list' => ['key=RIGHT', 'track=A&track[]=B', $repeats],
              'two charsets' => ['key=RIGHT', 'track=A&charset=utf-8&charset=latin1', $repeats],
              'charset as a list' => ['key=RIGHT', 'track=A&charset[]=utf-8', $repeats],
              'an encoded second title' => ['key=RIGHT', 'track=A&%74rack=B', $repeats],
              'a second title cut at a NUL' => ['key=RIGHT', 'track=A&track%00x=B', $repeats],
              'a spaced second charset with a dot after a NUL' => ['key=RIGHT', 'track=A&charset=latin1&+charset%00.x=utf-8', $repeats],
              'a wrong key, then the key' => ['key=wrong&key=RIGHT', 'track=A', $twoKeys],
              'a key as a list, then the key' => ['key%5B%5D=wrong&key=RIGHT', 'track=A', $twoKeys],
              'a wrong key, then the key spaced and cut at a NUL' => ['key=wrong&+key%00.x=RIGHT', 'track=A', $twoKeys],
              'a wrong key, then the key after a ";"' => ['key=wrong;key=RIGHT', 'track=A', $twoKeys],
             ] as $name => [$query, $form, $refusal]) {
        $answer = $server->request('POST', "/MyFormHandler.php?$query&track=", $form);
        $checks->equal("$name: refused", $refusal, [$answer['status'], $answer['body']]);
        $checks->equal("$name: nothing written", $before, $server->files());
    }
    $answer = $server->request('POST', '/MyFormHandler.php?key=RIGHT&track=', 'track=A&track[x=B&key=wrong');
    $checks->equal('an unclosed [ makes another name, and a key in the form is not the key: stored', [200, 'A'],
                   [$answer['status'], file_get_contents("$server->folder/nowplaying.txt")]);
    $server->configure('<?php return [];');

    foreach (['under' => 200, 'over' => 2000] as $which => $length) {
        $body = 'track=' . str_repeat('x', $length);
        $answer = $server->answer($server->send("POST " . FORM . " HTTP/1.1\r\nHost: $server->address\r\nConnection: close\r\n"
            . "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n"
            . dechex(strlen($body)) . "\r\n$body\r\n0\r\n\r\n"));
        $status[$which] = $answer['status'];
    }
    $checks->equal('a form sent in chunks: accepted under post_max_size, 413 over it', ['under' => 200, 'over' => 413], $status);
}

// The longest title with the readme's font list is drawn within a CPU limit
// of two seconds (it took four to seven; it takes a few hundredths now), and
// the handler's own limit ends a post that runs on with a reason. The limit
// counts the processor time of the post alone, which a loaded machine does
// not stretch.
function time_limit(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles, ['max_execution_time' => '2']);
    $server->configure("<?php return ['font' => " . FONT_LIST . "];");
    $title = str_repeat("a\u{3042}", 195);
    $answer = $server->request('POST', FORM, 'track=' . urlencode($title) . '&charset=utf-8');
    $checks->equal('780 bytes of UTF-8 with the font list: drawn within the limit', [200, $title],
                   [$answer['status'], (string)@file_get_contents("$server->folder/nowplaying.txt")]);

    $server->configure('<?php while (true) {}');
    $answer = $server->request('POST', FORM, 'track=Song');
    $checks->equal('a post that runs past the limit: a reason', [500, "The form handler ran past its time limit; see the server log.\n"],
                   [$answer['status'], $answer['body']]);
}

// The cut title keeps as many characters as fit between the margins.
function longest_cut(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->configure("<?php return ['font' => '" . DEJAVU . "', 'label' => ''];");
    $room = 468 - 2 * 6;
    $fits = fn(int $count) => ($box = imagettfbbox(13, 0, DEJAVU, str_repeat('W', $count) . '...')) && $box[2] - $box[0] <= $room;
    for ($kept = 0; $fits($kept + 1); $kept++) {
    }
    $drawn = function (string $title) use ($server) {
        $server->request('POST', FORM, 'track=' . urlencode($title));
        return md5_file("$server->folder/nowplaying.png");
    };
    $checks->equal("a long title is cut after the last character that fits ($kept)",
                   $drawn(str_repeat('W', $kept) . '...'), $drawn(str_repeat('W', 100)));
}

no_code_from_a_title($checks, $serverFiles);
one_file_two_names($checks, $serverFiles);
misspelt_key($checks, $serverFiles);
links_and_special_files($checks, $serverFiles);
no_files_left_behind($checks, $serverFiles);
drawable_settings($checks, $serverFiles);
settings_mistakes_told_to_the_owner($checks, $serverFiles);
one_title_one_line($checks, $serverFiles);
time_limit($checks, $serverFiles);
longest_cut($checks, $serverFiles);
exit($checks->finish());
