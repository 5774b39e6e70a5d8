<?php
// Serves a private copy of the form handler with PHP's built-in web server on
// port 80 of a loopback address picked at random, so that parallel runs and
// other tests listening on 127.0.0.1 never meet. Each server has a folder of
// its own, which it removes when it stops.

final class HandlerServer
{
    public string $folder;
    private string $address;
    private $process = null;

    public function __construct(string $serverFiles)
    {
        $this->folder = sys_get_temp_dir() . '/tunewire-handler-' . bin2hex(random_bytes(4));
        mkdir($this->folder);
        copy("$serverFiles/MyFormHandler.php", "$this->folder/MyFormHandler.php");
        for ($attempt = 0; $attempt < 5; $attempt++) {
            $this->address = sprintf('127.%d.%d.%d', random_int(100, 199), random_int(0, 255), random_int(1, 254));
            if ($this->start()) {
                return;
            }
        }
        throw new RuntimeException('php -S did not start: ' . file_get_contents("$this->folder.log"));
    }

    public function __destruct()
    {
        if ($this->process !== null) {
            proc_terminate($this->process);
            proc_close($this->process);
        }
        exec('rm -rf ' . escapeshellarg($this->folder) . ' ' . escapeshellarg("$this->folder.log"));
    }

    // The handler reads its settings file on every request, so a test may
    // change it between requests.
    public function configure(string $settingsFileText): void
    {
        file_put_contents("$this->folder/MyFormHandler.config.php", $settingsFileText);
    }

    // Sends one request the way the plugin's WinInet does (HTTP/1.0, one
    // Content-Type header) and returns its status and body.
    public function request(string $method, string $target, string $body = '',
                            string $type = 'application/x-www-form-urlencoded'): array
    {
        $socket = fsockopen($this->address, 80, $errno, $error, 5);
        fwrite($socket, "$method $target HTTP/1.0\r\nHost: $this->address\r\n"
            . "Content-Type: $type\r\nContent-Length: " . strlen($body) . "\r\n\r\n$body");
        $response = stream_get_contents($socket);
        fclose($socket);
        [$head, $content] = explode("\r\n\r\n", $response, 2);
        return ['status' => (int)explode(' ', $head)[1], 'body' => $content];
    }

    // Every file in the folder (or a subfolder) apart from the handler and its
    // settings, with a hash of its content.
    public function files(string $subfolder = ''): array
    {
        $found = [];
        foreach (glob("$this->folder/$subfolder{*,.*}", GLOB_BRACE) as $path) {
            $name = basename($path);
            if (is_file($path) && !str_starts_with($name, 'MyFormHandler.')) {
                $found[$name] = md5_file($path);
            }
        }
        ksort($found);
        return $found;
    }

    private function start(): bool
    {
        $log = ['file', "$this->folder.log", 'a'];
        $this->process = proc_open([PHP_BINARY, '-S', "$this->address:80", '-t', $this->folder],
                                   [0 => ['file', '/dev/null', 'r'], 1 => $log, 2 => $log], $pipes);
        $deadline = microtime(true) + 5;
        while (microtime(true) < $deadline && proc_get_status($this->process)['running']) {
            $probe = @fsockopen($this->address, 80, $errno, $error, 0.2);
            if ($probe !== false) {
                fclose($probe);
                return true;
            }
            usleep(20000);
        }
        proc_terminate($this->process);
        proc_close($this->process);
        $this->process = null;
        return false;
    }
}
