// What the send and view dialogs share: a message field sitting on a
// skinned panel whose band says who the message is with, a bold caption,
// and the history popup that hangs under the dialog.
#pragma once
#include "afxwin.h"
#include "controls/message_history_popup.h"
#include "controls/sms_text_edit.h"
#include "skin/skin_static.h"

// Skins `text`, `panel` (its band `bandHeight` high) and the caption
// `captionId` of `dialog`, the panel behind the field that sits on it.
void SkinMessagePanel(CWnd& dialog, CSmsTextEdit& text, CSkinStatic& panel, int bandHeight, UINT captionId);
// The popup as wide as the dialog, made when the history button is first
// pressed: most dialogs are closed without it, and making it costs about a
// third of a dialog's creation.
void ToggleHistoryPopup(CWnd& dialog, CMessageHistoryPopup& popup, const CString& contactKey,
                        const CString& contactLabel, const CString& ownLabel);
