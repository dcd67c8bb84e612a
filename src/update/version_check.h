// The Online Version Check dialog's work in the core: what it shows on
// opening, the vendor's job it runs on slot 0 (run kind 1) when no reply
// has come yet, what the end of that run shows, and what closing it gives
// back. The window calls these from its dialog procedure.
#pragma once

// On opening: greys the commands a run would disturb, shows this program's
// version, build and catalogue version, then the stored result, or starts
// the vendor's job ("Connecting to Host...").
void VersionCheckOpened();
// Command 1094, the run ended: the result, or "Connect Error" when no reply
// came (the next opening then asks again).
void VersionCheckRunEnded();
// OK, Cancel or closing: a run still going is cancelled (posted to the main
// window), and the greyed commands are given back.
void VersionCheckClosing();
