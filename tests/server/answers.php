<?php
// What the tests expect of the handler's refusals: the plugin shows a
// refusal's body in a message box with its line breaks removed, so a reason
// is one line of plain text; and the one reason a post without the key gets
// while the settings are broken.

const HIDDEN_REASON = "The form handler's settings have a mistake; the server's error log says which.\n";

function is_one_line_reason(string $body): bool
{
    return preg_match('/^[\x20-\x7E]+\n$/', $body) === 1;
}
