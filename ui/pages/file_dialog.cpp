#include "ui/pages/file_dialog.h"

#include "impulse/display_list.h"
#include "impulse/settings.h"
#include "impulse/summary.h"
#include "platform/file.h"
#include "toolkit/string_table.h"

NxFileInfoPanel NxDescribeFileForPanel(LPCWSTR path) {
  NxFileInfoPanel panel;
  NxFileHandle file =
      path != nullptr ? NxOpenFile(path, NxFileAccess::Read, NxFileCreate::OpenExisting) : nullptr;
  if (file == nullptr) return panel;
  WCHAR texts[4][kNxSummaryDisplayChars];
  NxSummary_ReadDisplayTexts(file, kDialogSummaryItems, 4, texts);
  panel.title = texts[0];
  panel.author = texts[1];
  panel.copyright = texts[2];
  panel.comments = texts[3];
  NxDisplayList list = {};
  if (displist_Create(&list, kImpulseDisplayFormats, 2) == NX_OK &&
      file->Seek(0, NxSeekOrigin::Begin, nullptr)) {
    displist_Load(file, &list);
    const NxDisplayItem* bitmap = displist_GetItem(&list, kDisplayFormatBitmap);
    if (bitmap != nullptr && bitmap->size > 0)
      panel.picture.assign(bitmap->data, bitmap->data + bitmap->size);
  }
  displist_Free(&list);
  NxCloseFile(file);
  return panel;
}

std::vector<std::pair<NxText, NxText>> NxSplitFilter(LPCWSTR filter) {
  std::vector<NxText> parts;
  NxText part;
  for (LPCWSTR p = filter; p != nullptr && *p != 0; ++p) {
    if (*p == '\t') {
      parts.push_back(part);
      part.clear();
    } else {
      part += *p;
    }
  }
  if (!part.empty()) parts.push_back(part);
  std::vector<std::pair<NxText, NxText>> pairs;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
  return pairs;
}

bool NxChooseFile(NxDialog& dialog, bool save, UINT titleId, UINT filterId, LPCWSTR folderKey,
                  NxText* name) {
  NxFileDialogRequest request;
  request.save = save;
  request.title = NxGetString(titleId);
  request.filters = NxSplitFilter(NxGetString(filterId));
  request.filterIndex = NxSettings_GetFilterIndex(folderKey);
  WCHAR folder[kNxSettingsPathUnits];
  NxSettings_GetFolder(folderKey, folder, kNxSettingsPathUnits);
  request.initialFolder = folder;
  request.fileName = name != nullptr ? *name : NxText();
  if (!save) NxMru_Load(kNxMruFolders, &request.recentFolders);
  if (!dialog.RunFileDialog(request) || request.fileName.empty()) return false;
  NxSettings_RememberChoice(folderKey, request.fileName.c_str(), request.filterIndex);
  if (!save) {
    const size_t slash = request.fileName.find_last_of(NXW("/\\"));
    if (slash != NxText::npos) {
      NxMruBox folders;
      NxMru_Load(kNxMruFolders, &folders);
      NxMru_Add(&folders, kNxMruFolders, request.fileName.substr(0, slash).c_str(),
                NxMruKind::Folders);
    }
  }
  if (name != nullptr) *name = request.fileName;
  return true;
}
