// One complete post of a track title: settle the server and form path, send
// "track=<encoded title>" as an HTML form, report the outcome (to the user,
// unless the caller hands in another reporter).
// Runs on the calling thread, which it holds for at most the post's deadline
// (post/post_exchange.h) plus whatever the user takes over a message box or a
// dialog it opens; only sending and reading happen on a thread of their own.
#pragma once

// The stored-settings marker. Passed as server or form path, it makes the post
// load the stored settings. It is recognised by address only: any other empty
// text is an explicit (and invalid) value, which makes the post a test post.
extern const char kUseStoredSettings[];

// What the title's bytes are. A UTF-8 title is posted with "&charset=utf-8"
// after the track field, so a form handler tells the two apart; an ANSI title
// is posted exactly as "track=<encoded title>".
enum class TitleCharset { kAnsi, kUtf8 };

class PostReporter;

// `reporter` null: the outcome shows in a box (post/post_report.h).
// `moreFields`: further form fields after the title's, already encoded
// ("&name=value..."); empty for none.
bool PostTrack(const char* title, const char* server, const char* formPath,
               TitleCharset charset = TitleCharset::kAnsi, PostReporter* reporter = nullptr,
               const char* moreFields = "");
