#include "ui/pages/about_box.h"

#include "frame/module_info.h"
#include "ui/pages/control_table.h"

void NxInitAboutBox(NxDialog& about, bool hideLogo) {
  const NxAboutTexts texts = NxGetAboutTexts();
  about.SetText(IDC_ABOUT_VERSION_LINE, texts.version.c_str());
  about.SetText(IDC_ABOUT_TITLE_LINE, texts.heading.c_str());
  about.SetText(0, texts.title.c_str());
  about.Show(IDC_ABOUT_LINK, false);
  if (hideLogo) about.Show(IDC_HEADER, false);
}

bool NxAboutBoxCommand(UINT id, INT_PTR* result) {
  return id <= 0xFFFF && NxAboutBoxEnds(static_cast<WORD>(id), result);
}
