<?php
// Checks the shipped readme: Notepad-friendly text (ASCII, CRLF line ends,
// lines that fit an unwrapped window) whose troubleshooting section names
// every message the plugin and the form handler can show, word for word.
// Usage: php readme_test.php [server folder]

require __DIR__ . '/checks.php';

$serverFiles = $argv[1] ?? dirname(__DIR__, 2) . '/server';
$readme = file_get_contents("$serverFiles/readme.txt");
$checks = new Checks();

$checks->equal('every line ends in CRLF', 0, preg_match_all('/\r(?!\n)|(?<!\r)\n/', $readme));
$checks->true('the last line is ended', str_ends_with($readme, "\r\n"));
$checks->equal('printable ASCII only', 0, preg_match_all('/[^\x20-\x7E\r\n]/', $readme));
$longest = max(array_map('strlen', explode("\r\n", $readme)));
$checks->true("lines fit 78 columns (longest $longest)", $longest <= 78);

$pluginMessages = [
    'Tunewire Plugin - Invalid Config:',
    'Could not connect to server - check the configuration.',
    'Failed to connect to server, check the server address is correct.',
    'Generic Error Code:',
    'Tunewire Plugin - Failed To Post Data, Server Response:',
    'Connected to server = OK, Connected to form = OK.',
    "You should check the image on the server, and ensure it's been updated",
    '/MyFormHandler.php?track=',
    'www.example.com/glyphmill/upgrade.html',
    'The server answered <status> and moved the form to <address>.',
    'To post over HTTPS, enter the server as https://<host>.',
    "Secure connection refused: the server's certificate is not from an authority this computer trusts (error <number>).",
    "Secure connection refused: the server's certificate is not from an authority this computer trusts, or whether it was revoked could not be checked (error 12057).",
    "Secure connection refused: the server asks for a certificate of the client, which the plugin does not have (error 12044).",
    "Secure connection refused: the server's certificate is made out to another name than the server entered (error 12038).",
    "Secure connection refused: the server's certificate has expired or is not yet valid (error 12037).",
    "Secure connection failed: the server's certificate or its secure channel was refused (error <number>).",
    'Could not write the title file <path>: <reason> (error <number>). Tunewire keeps trying.',
    'The cover art file <path> was not written by Tunewire, so it is left as it is. Choose another file for the cover, or delete this one.',
    'Your settings could not be saved. The plugin tried:',
    'Could not copy <path> to <folder> (error <number>).',
    'Windows could not open <path> (error <number>).',
    'Your changes could not be stored in <path> (error <number>). Nothing was changed; the dialog stays open.',
    'The server was too slow: no answer came within 30 seconds, so the post was given up.',
    'The server was too slow: its answer (status <number>) was cut off after 30 seconds.',
];
// The handler's reasons are read from its source, so a changed reason must be
// changed in the readme too. A variable in a reason reads as <name> there.
preg_match_all('/(?:answer\(\d+, |refuse_settings\(|const HIDDEN_REASON = )([\'"])(.*?)(?<!\\\\)\1/',
               file_get_contents("$serverFiles/MyFormHandler.php"), $found);
$handlerReasons = preg_replace(['/\$\w+/', "/\\\\'/"], ['<name>', "'"], $found[2]);
$checks->true('the handler has reasons to look for', count($handlerReasons) >= 8);

$flat = preg_replace('/\s+/', ' ', $readme);
foreach (array_merge($pluginMessages, $handlerReasons) as $text) {
    $checks->true("the readme quotes: $text", str_contains($flat, $text));
}
exit($checks->finish());
