<?php
// Serves a private copy of the server files on port 80 of a loopback address
// picked at random, so that parallel runs and other tests listening on
// 127.0.0.1 never meet: with PHP's built-in web server, or, when
// TUNEWIRE_HANDLER_SERVER=apache, with a foreground Apache and mod_php of its
// own. Each server has a folder of its own, which it removes when it stops.

final class HandlerServer
{
    public string $folder;
    public string $address;
    private $process = null;

    // $ini: PHP settings for this server only, such as a small post_max_size.
    public function __construct(string $serverFiles, array $ini = [])
    {
        $this->folder = sys_get_temp_dir() . '/tunewire-handler-' . bin2hex(random_bytes(4));
        mkdir($this->folder);
        // Apache's PHP runs as www-data and must write here.
        chmod($this->folder, 0777);
        foreach (['MyFormHandler.php', 'MyFormHandler.config.example.php', 'overlay.html', 'nowplaying.php'] as $name) {
            if (is_file("$serverFiles/$name")) {
                copy("$serverFiles/$name", "$this->folder/$name");
            }
        }
        for ($attempt = 0; $attempt < 5; $attempt++) {
            $this->address = sprintf('127.%d.%d.%d', random_int(100, 199), random_int(0, 255), random_int(1, 254));
            if ($this->start($ini)) {
                return;
            }
        }
        throw new RuntimeException('the web server did not start: ' . $this->log());
    }

    public function __destruct()
    {
        if ($this->process !== null) {
            $this->stop();
        }
        exec('rm -rf ' . escapeshellarg($this->folder) . ' ' . escapeshellarg("$this->folder.log")
             . ' ' . escapeshellarg("$this->folder.run"));
    }

    public static function isApache(): bool
    {
        return getenv('TUNEWIRE_HANDLER_SERVER') === 'apache';
    }

    // The handler reads its settings file on every request, so a test may
    // change it between requests.
    public function configure(string $settingsFileText): void
    {
        file_put_contents("$this->folder/MyFormHandler.config.php", $settingsFileText);
    }

    // A subfolder that the handler may write into.
    public function makeFolder(string $name): void
    {
        mkdir("$this->folder/$name");
        chmod("$this->folder/$name", 0777);
    }

    // The web server's log, where PHP's warnings go.
    public function log(): string
    {
        return (string)@file_get_contents("$this->folder.log");
    }

    // Sends one request the way the plugin's WinInet does (HTTP/1.0, one
    // Content-Type header) and returns its status, headers and body.
    public function request(string $method, string $target, string $body = '',
                            string $type = 'application/x-www-form-urlencoded'): array
    {
        return $this->requestAll([[$method, $target, $body, $type]])[0];
    }

    // Sends all requests before reading any answer, so that they run at once.
    public function requestAll(array $requests): array
    {
        $sockets = [];
        foreach ($requests as [$method, $target, $body, $type]) {
            $sockets[] = $this->send("$method $target HTTP/1.0\r\nHost: $this->address\r\n"
                . "Content-Type: $type\r\nContent-Length: " . strlen($body) . "\r\n\r\n$body");
        }
        return array_map([$this, 'answer'], $sockets);
    }

    // Sends a request given whole, head and body, and returns the open
    // connection for answer(): a test can act while the server works on it.
    public function send(string $request)
    {
        $socket = fsockopen($this->address, 80, $errno, $error, 5);
        stream_set_timeout($socket, 30);
        fwrite($socket, $request);
        return $socket;
    }

    public function answer($socket): array
    {
        $response = stream_get_contents($socket);
        fclose($socket);
        [$head, $content] = explode("\r\n\r\n", $response, 2) + [1 => ''];
        return ['status' => (int)(explode(' ', $head)[1] ?? 0), 'head' => $head, 'body' => $content];
    }

    // Every file in the folder (or a subfolder) apart from the ones it was
    // given, with a hash of its content.
    public function files(string $subfolder = ''): array
    {
        $found = [];
        foreach (glob("$this->folder/$subfolder{*,.*}", GLOB_BRACE) as $path) {
            $name = basename($path);
            if (is_file($path) && !str_starts_with($name, 'MyFormHandler.')
                && !in_array($name, ['overlay.html', 'nowplaying.php'], true)) {
                $found[$name] = md5_file($path);
            }
        }
        ksort($found);
        return $found;
    }

    // PHP's compiled-file cache (on in both servers: PHP's own server does
    // not count as the command line for it) looks at time stamps only every
    // few seconds, and would run a settings file after the test changed it:
    // it is off here.
    private function start(array $ini): bool
    {
        $ini = ['opcache.enable' => '0'] + $ini;
        $log = ['file', "$this->folder.log", 'a'];
        $command = self::isApache() ? $this->apacheCommand($ini) : $this->phpCommand($ini);
        // Four workers let PHP's server answer posts at the same time, as a
        // real web server does.
        // Apache's PHP reads the test's settings from a folder of its own
        // after the system's (the leading colon keeps those).
        $environment = ['PHP_CLI_SERVER_WORKERS' => '4', 'PHP_INI_SCAN_DIR' => ":$this->folder.run/php"] + getenv();
        $this->process = proc_open($command, [0 => ['file', '/dev/null', 'r'], 1 => $log, 2 => $log],
                                   $pipes, null, $environment);
        // Generous: a loaded machine can take seconds to start Apache.
        $deadline = microtime(true) + 30;
        while (microtime(true) < $deadline && proc_get_status($this->process)['running']) {
            $probe = @fsockopen($this->address, 80, $errno, $error, 0.2);
            if ($probe !== false) {
                fclose($probe);
                return true;
            }
            usleep(20000);
        }
        $this->stop();
        return false;
    }

    // The server runs in a process group of its own (setsid): PHP's server
    // leaves its workers running when only its first process is ended, so
    // the whole group goes.
    private function stop(): void
    {
        posix_kill(-proc_get_status($this->process)['pid'], SIGTERM);
        proc_close($this->process);
        $this->process = null;
    }

    private function phpCommand(array $ini): array
    {
        $command = ['setsid', PHP_BINARY];
        foreach ($ini as $name => $value) {
            array_push($command, '-d', "$name=$value");
        }
        return array_merge($command, ['-S', "$this->address:80", '-t', $this->folder]);
    }

    // A private configuration: nothing of the system's Apache set-up is read.
    // PHP's settings go in an ini file, where every one of them can be set
    // (disable_functions cannot be set from Apache's configuration).
    private function apacheCommand(array $ini): array
    {
        $modules = '/usr/lib/apache2/modules';
        $php = glob("$modules/libphp*.so")[0] ?? 'libphp.so';
        $run = "$this->folder.run";
        @mkdir($run);
        @mkdir("$run/php");
        $settings = '';
        // Quoted: an ini file reads a ";" as the start of a comment.
        foreach ($ini as $name => $value) {
            $settings .= "$name=\"$value\"\n";
        }
        file_put_contents("$run/php/test.ini", $settings);
        file_put_contents("$run/apache.conf", <<<CONF
            ServerRoot $run
            DefaultRuntimeDir $run
            PidFile $run/apache.pid
            ErrorLog $this->folder.log
            LogLevel warn
            LoadModule mpm_prefork_module $modules/mod_mpm_prefork.so
            LoadModule authz_core_module $modules/mod_authz_core.so
            LoadModule mime_module $modules/mod_mime.so
            LoadModule php_module $php
            StartServers 2
            MinSpareServers 2
            MaxSpareServers 8
            MaxRequestWorkers 16
            User www-data
            Group www-data
            Listen $this->address:80
            ServerName $this->address
            TypesConfig /etc/mime.types
            DocumentRoot $this->folder
            <Directory $this->folder>
                Require all granted
            </Directory>
            <FilesMatch "\\.php\$">
                SetHandler application/x-httpd-php
            </FilesMatch>
            CONF);
        // Apache ends its whole process group when it stops: a session of
        // its own keeps this test out of it (and lets stop() end it whole).
        return ['setsid', '/usr/sbin/apache2', '-f', "$run/apache.conf", '-DFOREGROUND'];
    }
}
