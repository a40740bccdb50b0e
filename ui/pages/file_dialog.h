// The Open and Save dialogs of the pages: filters, titles, the folder each remembers, the
// recently used folders and the information panel of the file under the cursor.
#pragma once

#include <vector>

#include "ui/pages/dialog.h"

// What the information panel shows for a file: its "INAM", "IENG", "ICOP" and "ICMT" items
// and its bitmap display item (empty when it has none).
struct NxFileInfoPanel {
  NxText title;
  NxText author;
  NxText copyright;
  NxText comments;
  std::vector<BYTE> picture;
};

// The panel for `path` (all empty for a file that cannot be read). The view calls it whenever
// the selection changes.
NxFileInfoPanel NxDescribeFileForPanel(LPCWSTR path);

// The description and pattern pairs of a string-table filter (pairs separated by tabs).
std::vector<std::pair<NxText, NxText>> NxSplitFilter(LPCWSTR filter);

// Builds the request (title string, filter string, folder and type index remembered under
// `folderKey`, recently used folders for an Open dialog), runs it on `dialog` and, when the user
// chose a file, remembers its folder and type and (Open) adds its folder to the recently used
// folders. `name` is the prefilled name in, the chosen one out. True when a file was chosen.
bool NxChooseFile(NxDialog& dialog, bool save, UINT titleId, UINT filterId, LPCWSTR folderKey,
                  NxText* name);
