// A box that tells the user of a failure without holding the thread that
// found it: the monitor's local files must go on being tried, and the posts
// made, while the box waits for the user. One such box at a time.
#pragma once

// Shows `text` under the plugin's caption on a thread of its own, which
// holds a reference on this module until the box is closed, so that neither
// quit nor the host's unload waits for it or pulls the code from under it.
// False, showing nothing, while another such box is open or when no thread
// can be had.
bool ShowBoxAside(const wchar_t* text);
