// The StoppedText key: what the title shows once the music has stopped. A
// stop is two not-playing turns in a row whose playing query answered 0; a
// paused player (3) is not stopped. The text is posted, and written to the
// title file, once per stop, cut as a title from the player would be.
#pragma once

#include <windows.h>

#include "monitor/title_post.h"

struct StoppedTextState {
    int stoppedTurns = 0;  // not-playing turns in a row that answered "stopped"
};

// Called on each turn with the playing query's answer; says what the turn
// did as far as the stop goes. kPosted when it posted the text: the monitor
// then forgets the last posted file, so the same file played again is posted
// again. The stopped turns after that are kTitleStands: the text stands.
TurnForRetries StoppedTextTurn(StoppedTextState& stopped, StreamerState& streamer,
                               LRESULT playingAnswer);
