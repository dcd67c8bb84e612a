// The captured page of each engine, reports/N.htm by the engine's id: the
// engine's own answer, or a small page that says why there is none.
#pragma once

#include <cstddef>
#include <string>

#include "engines/engines.h"

// The biggest generated message page, in characters; a longer one is cut.
constexpr std::size_t kMessagePageLimit = 2048;

// Saves len bytes of text (NUL bytes included) as the engine's page. When
// the text holds the end of an HTTP header ("\r\n\r\n") with something
// behind it, only the part behind it is saved. 1 on success; 0 when text
// or engine is null, or when the file can't be created or written (after
// the error box "Unable to write report file"). While pages are held, the
// page waits in memory instead and the result is 1.
int SaveEnginePage(const char* text, std::size_t len, const EngineEntry* engine);
int SaveEnginePage(const std::string& text, const EngineEntry* engine);

// Wraps message into a small page titled with the engine's name and saves
// it with SaveEnginePage. 0 when message or engine is null.
int SaveEngineMessagePage(const EngineEntry* engine, const char* message);
int SaveEngineMessagePage(const EngineEntry* engine, const std::string& message);

// While a Hunt runs its jobs must not wait on the disk: every saved page is
// held in memory instead, the last one per engine id (the one its file would
// hold), until WriteHeldEnginePages puts them into their files. Holding
// goes on until ReleaseEnginePages, which writes what is held and ends it.
void HoldEnginePages();
// Writes the held pages, each as SaveEnginePage would have (a page that
// can't be written shows its box), and forgets them; holding goes on.
// 1 when every page was written.
int WriteHeldEnginePages();
int ReleaseEnginePages();

// The path of an engine's page: reports/N.htm.
std::string EnginePagePath(int id);
