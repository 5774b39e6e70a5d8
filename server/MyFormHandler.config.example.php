<?php
// MyFormHandler.config.example.php: a start for your own settings. Copy it to
// MyFormHandler.config.php beside MyFormHandler.php, which then reads it on
// every post; an update of the handler never touches that copy. It writes the
// JSON file for overlay.html; every other line starting with // shows a
// setting at its standard value: remove the // and change the value to use
// it. readme.txt, section 5, says what each one does.
return [
    // 'width' => 468,
    // 'height' => 60,
    // 'background' => '#1C1C28',
    // 'label_colour' => '#9FA0B8',
    // 'title_colour' => '#FFFFFF',
    // 'font' => 5,
    // 'font_size' => 13,
    // 'label' => 'Now playing:',
    // 'text_file' => __DIR__ . '/nowplaying.txt',
    // 'image_file' => __DIR__ . '/nowplaying.png',
    'json_file' => __DIR__ . '/nowplaying.json',
    // 'json_allow_origin' => '',
    // 'recent' => 0,  // titles that played before, kept in the JSON file: up to 50
    // 'key' => '',
];
