<?php
// Runs the shipped form handler under PHP's built-in web server and checks
// what it answers and what it writes, for the posts the plugin makes and for
// requests it must refuse. Usage: php form_handler_test.php [server folder]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';

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

// The plugin shows a refusal's body in a message box with its line breaks
// removed, so a reason must be one line of plain text.
function is_one_line_reason(string $body): bool
{
    return preg_match('/^[\x20-\x7E]+\n$/', $body) === 1;
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

accepted_titles($checks, $serverFiles);
refusals($checks, $serverFiles);
settings($checks, $serverFiles);
exit($checks->finish());
