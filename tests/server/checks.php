<?php
// A minimal check counter for the PHP tests: each failed check prints its name
// and what was seen, and the run ends with the line "N passed, N failed" and
// a non-zero exit code when anything failed.

final class Checks
{
    private int $passed = 0;
    private int $failed = 0;

    public function equal(string $name, $expected, $actual): void
    {
        if ($expected === $actual) {
            $this->passed++;
            return;
        }
        $this->failed++;
        echo "FAIL $name\n  expected: ", var_export($expected, true),
             "\n  actual:   ", var_export($actual, true), "\n";
    }

    public function true(string $name, bool $condition): void
    {
        $this->equal($name, true, $condition);
    }

    public function finish(): int
    {
        echo "{$this->passed} passed, {$this->failed} failed\n";
        return $this->failed === 0 ? 0 : 1;
    }
}
