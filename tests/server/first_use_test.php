<?php
// Checks what a user meets when setting the server side up: the shipped
// settings example works as it is and tells the truth about every setting,
// nowplaying.php answers a broken settings file with a reason, sends only
// the plain files the handler may write, and lets another site read the JSON
// file only when a setting names it. Runs under the web server that
// TUNEWIRE_HANDLER_SERVER names (see handler_server.php).
// Usage: php first_use_test.php [server folder]

require __DIR__ . '/checks.php';
require __DIR__ . '/handler_server.php';

const FORM = '/MyFormHandler.php?track=';
const BROKEN_SETTINGS = "MyFormHandler.config.php does not work; post a track to see why.\n";

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$checks = new Checks();

function header_value(array $answer, string $name): ?string
{
    return preg_match('/^' . preg_quote($name, '/') . ': *(.*)$/mi', $answer['head'], $found) ? trim($found[1]) : null;
}

// Copied as it is, the example switches the JSON file on; with every line
// uncommented it draws exactly what the handler's own standards draw.
function settings_example(Checks $checks, string $serverFiles): void
{
    $example = file_get_contents("$serverFiles/MyFormHandler.config.example.php");
    $handler = file_get_contents("$serverFiles/MyFormHandler.php");
    preg_match('/^\$config = \[(.*?)^\];/ms', $handler, $defaults);
    preg_match_all("/^    '(\w+)' =>/m", $defaults[1], $names);
    foreach ($names[1] as $name) {
        $checks->true("the example shows the setting $name", preg_match("/^    (\/\/ )?'$name' =>/m", $example) === 1);
    }

    $server = new HandlerServer($serverFiles);
    $server->configure($example);
    $answer = $server->request('POST', FORM, 'track=First+Use');
    $checks->equal('the example as the settings file: accepted', 200, $answer['status']);
    $checks->equal('the example as the settings file: the JSON file is written', 'First Use',
                   json_decode((string)@file_get_contents("$server->folder/nowplaying.json"), true)['title'] ?? null);
    $image = md5_file("$server->folder/nowplaying.png");

    $server->configure(preg_replace('/^    \/\/ \'/m', "    '", $example));
    $answer = $server->request('POST', FORM, 'track=First+Use');
    $checks->equal('every setting of the example uncommented: accepted', 200, $answer['status']);
    $checks->equal('every setting of the example uncommented: the standard image', $image,
                   md5_file("$server->folder/nowplaying.png"));
}

function reader_and_settings(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $server->request('POST', FORM, 'track=Stored');
    $server->configure('<?php exit;');
    $answer = $server->request('GET', '/nowplaying.php?file=text');
    $checks->equal('a settings file that exits: nowplaying.php gives its reason', [500, BROKEN_SETTINGS],
                   [$answer['status'], $answer['body']]);

    // Slips the handler refuses to write; the reader must not send them.
    foreach (["['text_file' => __FILE__]" => 'the settings file', "['text_file' => __DIR__ . '/MyFormHandler.php']" => 'the handler',
              "['text_file' => 'nowplaying.php']" => 'itself'] as $settings => $what) {
        $server->configure("<?php return $settings + ['key' => 'S3cret'];");
        $answer = $server->request('GET', '/nowplaying.php?file=text');
        $checks->equal("text file setting naming $what: not sent", [500, BROKEN_SETTINGS], [$answer['status'], $answer['body']]);
    }

    $server->configure('<?php return [];');
    $server->makeFolder('private');
    file_put_contents("$server->folder/private/secret.txt", 'SECRET');
    unlink("$server->folder/nowplaying.txt");
    symlink("$server->folder/private/secret.txt", "$server->folder/nowplaying.txt");
    $checks->equal('a link at the text file\'s name: not followed', 404, $server->request('GET', '/nowplaying.php?file=text')['status']);
    unlink("$server->folder/nowplaying.txt");
    posix_mkfifo("$server->folder/nowplaying.txt", 0666);
    $checks->equal('a FIFO at the text file\'s name: not opened', 404, $server->request('GET', '/nowplaying.php?file=text')['status']);
    unlink("$server->folder/nowplaying.txt");

    // The reader's copy of the handler's name rules must not drift from it.
    $rule = '/^const (SCRIPT_OR_PAGE|HANDLER_FILES) = (.*?);$/ms';
    preg_match_all($rule, file_get_contents("$serverFiles/MyFormHandler.php"), $handler, PREG_SET_ORDER);
    preg_match_all($rule, file_get_contents("$serverFiles/nowplaying.php"), $reader, PREG_SET_ORDER);
    $checks->equal('nowplaying.php refuses the names the handler refuses', $handler, $reader);
}

// Access-Control-Allow-Origin on the JSON file only, and only when set.
function json_for_other_sites(Checks $checks, string $serverFiles): void
{
    $server = new HandlerServer($serverFiles);
    $json = "'json_file' => __DIR__ . '/nowplaying.json'";
    $server->configure("<?php return [$json];");
    $server->request('POST', FORM, 'track=Shared');
    $checks->equal('no origin set: none allowed', null,
                   header_value($server->request('GET', '/nowplaying.php?file=json'), 'Access-Control-Allow-Origin'));

    $server->configure("<?php return [$json, 'json_allow_origin' => 'https://stream.example.com'];");
    $checks->equal('origin set: the post is accepted', 200, $server->request('POST', FORM, 'track=Shared')['status']);
    $answer = $server->request('GET', '/nowplaying.php?file=json');
    $checks->equal('origin set: the JSON file names it', [200, 'https://stream.example.com'],
                   [$answer['status'], header_value($answer, 'Access-Control-Allow-Origin')]);
    $checks->equal('origin set: not for the image', null,
                   header_value($server->request('GET', '/nowplaying.php'), 'Access-Control-Allow-Origin'));

    $server->configure("<?php return [$json, 'json_allow_origin' => \"https://a.example\\r\\nSet-Cookie: x=1\"];");
    $answer = $server->request('POST', FORM, 'track=Shared');
    $checks->true("an origin that is no address: the handler refuses it ({$answer['body']})",
                  $answer['status'] === 500 && str_contains($answer['body'], 'json_allow_origin'));
    $answer = $server->request('GET', '/nowplaying.php?file=json');
    $checks->equal('an origin that is no address: nowplaying.php sends none', [null, null],
                   [header_value($answer, 'Access-Control-Allow-Origin'), header_value($answer, 'Set-Cookie')]);
}

settings_example($checks, $serverFiles);
reader_and_settings($checks, $serverFiles);
json_for_other_sites($checks, $serverFiles);
exit($checks->finish());
