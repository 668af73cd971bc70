// Each fixed text must equal its readable form converted to code page 932.
#include "runtime/texts.h"

#include "runtime/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReadableText {
  const char* name;
  std::string_view bytes;
  const char* utf8;
};

const ReadableText kReadableTexts[] = {
    {"kStatusFileMissing", kwt::texts::kStatusFileMissing, "異常終了->ファイル無し"},
    {"kStatusNoContents", kwt::texts::kStatusNoContents, "異常終了->コンテンツ無し"},
    {"kStatusUpToDate", kwt::texts::kStatusUpToDate, "正常終了 :) ->コンバートの必要無し"},
    {"kStatusSuccess", kwt::texts::kStatusSuccess, "正常終了 :)"},
    {"kStatusFinishing", kwt::texts::kStatusFinishing, "終了処理中"},
    {"kStatusProgressPrefix", kwt::texts::kStatusProgressPrefix, "コンバート中( "},
    {"kStatusProgressSuffix", kwt::texts::kStatusProgressSuffix, " )"},
    {"kIoFileNotFound", kwt::texts::kIoFileNotFound, "ファイルが見つかりません"},
    {"kIoInvalidFileName", kwt::texts::kIoInvalidFileName, "不正なファイル名です"},
    {"kIoTooManyOpenFiles", kwt::texts::kIoTooManyOpenFiles, "オープンしたファイルが多すぎます"},
    {"kIoAccessDenied", kwt::texts::kIoAccessDenied, "ファイルへのアクセスが拒否されました"},
    {"kIoReadPastEnd", kwt::texts::kIoReadPastEnd, "ファイルの末尾以降を読み込みました"},
    {"kIoDiskFull", kwt::texts::kIoDiskFull, "ディスクがいっぱいです"},
    {"kIoNotNumeric", kwt::texts::kIoNotNumeric, "入力値が数値ではありません"},
    {"kIoGenericFormat", kwt::texts::kIoGenericFormat, "I/O エラー (%d)"},
    {"kCannotOpenFileFormat", kwt::texts::kCannotOpenFileFormat, "ファイル %s は開けません"},
    {"kCannotCreateFileFormat", kwt::texts::kCannotCreateFileFormat, "ファイル %s を作成できません"},
    {"kStreamWriteError", kwt::texts::kStreamWriteError, "ストリームへの書き込みエラー"},
    {"kNegativeCountFormat", kwt::texts::kNegativeCountFormat,
     "プロジェクトのレコード数 (Count=%d) が負の値のため、何も変更しませんでした"},
    {"kAlreadyConvertedFormat", kwt::texts::kAlreadyConvertedFormat,
     "コンテンツファイル %s は既に変換後の大きさです。二重の変換を避けるため、何も変更しませんでした "
     "(プロジェクトの Version を %d にしてください)"},
    {"kProjectFileInUseFormat", kwt::texts::kProjectFileInUseFormat,
     "ファイル %s "
     "はプロジェクトファイルの保存に使われるため、コンテンツの変換には使えません。何も変更しませんでした"},
    {"kNotRegularFileFormat", kwt::texts::kNotRegularFileFormat,
     "ファイル %s は通常のファイルではないため、変換できません。何も変更しませんでした"},
    {"kFolderBusyFormat", kwt::texts::kFolderBusyFormat,
     "%s "
     "のフォルダーでは別の変換が実行中です。その変換が終わってから、もう一度実行してください。何も変更しませ"
     "ん"
     "でした"},
    {"kStatusResumed", kwt::texts::kStatusResumed, "中断された変換の続きを完了しました"},
    {"kInterrupted", kwt::texts::kInterrupted,
     "変換を中断しました。作業中のファイルは削除し、プロジェクトは最後に完了した状態のままです"},
    {"kContentsLayoutUnsureFormat", kwt::texts::kContentsLayoutUnsureFormat,
     "コンテンツファイル %s の大きさは記録されたレコード形式ではなく、変換後のレコード形式に合います。"
     "二重の変換を避けるため、何も変更しませんでした "
     "(変換済みのファイルか、末尾の欠けたファイルか確かめてください)"},
    {"kNotContentsFileFormat", kwt::texts::kNotContentsFileFormat,
     "%s はコンテンツファイル (*.KWT) ではないため、変換しませんでした"},
    {"kSystemFolderFormat", kwt::texts::kSystemFolderFormat,
     "%s はシステムのフォルダーにあるため、変換しませんでした"},
    {"kSharedContentsFormat", kwt::texts::kSharedContentsFormat,
     "コンテンツファイル %s はほかのプロジェクト %s "
     "も使っています。そのプロジェクトが読めなくならないよう、何も変更しませんでした。このプロジェクトがコピ"
     "ーなら、KWT= "
     "をこのプロジェクト自身のコンテンツファイルに直してください。もう一方が要らないコピーなら、そのファイル"
     "を別のフォルダーに移すか、名前を .kwj 以外に変えてください。どちらも使うプロジェクトなら、一方の KWT= "
     "をそのプロジェクト自身のコンテンツファイルに直してください。そのあと、もう一度変換してください"},
    {"kProjectHasSecondNameFormat", kwt::texts::kProjectHasSecondNameFormat,
     "プロジェクトファイル %s には別の名前 %s (ハードリンク) "
     "もあり、同じコンテンツファイルを読みます。変換すると別の名前のほうがレコードを読めなくなるため、何も変"
     "更しませんでした。別の名前が要らないなら、それを削除するか名前を .kwj "
     "以外に変えてください。要るなら、それをコピーで置き換え、KWT= "
     "をそのプロジェクト自身のコンテンツファイルに直してください。そのあと、もう一度変換してください"},
    {"kProjectNamedElsewhereFormat", kwt::texts::kProjectNamedElsewhereFormat,
     "プロジェクトファイル %s には別の名前 (ハードリンク) もあり、KWT= "
     "がプロジェクトのフォルダーの外を指しているため、別の名前でも同じレコードを読みます。変換すると別の名前"
     "のほうがレコードを読めなくなるため、何も変更しませんでした。別の名前が要らないなら削除してください。要"
     "るなら、このプロジェクトファイルをコピーで置き換えて別のファイルにしてから、別の名前の KWT= "
     "をそのプロジェクト自身のコンテンツファイルに直してください。そのあと、もう一度変換してください"},
    {"kProjectEditedLateFormat", kwt::texts::kProjectEditedLateFormat,
     "プロジェクトファイル %s が変換の最後に変更されたため、書き換えませんでした。"
     "変更はそのまま残っていて、コンテンツファイルは変換済みです。プロジェクトの [KWJ] を %s にしてください"},
    {"kContentsChangedFormat", kwt::texts::kContentsChangedFormat,
     "コンテンツファイル %s が変換中に変更されたため、置き換えませんでした。もう一度実行してください"},
    {"kProjectChangedFormat", kwt::texts::kProjectChangedFormat,
     "プロジェクトファイル %s が変換中に変更されたため、何も置き換えませんでした。もう一度実行してください"},
    {"kCannotReplaceInOneStepFormat", kwt::texts::kCannotReplaceInOneStepFormat,
     "フォルダー %s "
     "のファイルシステムはファイルを一度に置き換えられないため、変換できません。何も変更しませんでした"},
    {"kOthersLeftoverFormat", kwt::texts::kOthersLeftoverFormat,
     "ファイル %s は別のユーザーのものです。共有フォルダーでは、これを削除できるのはその持ち主か、"
     "フォルダーの持ち主か管理者だけです。何も変更しませんでした"},
    {"kContentsIsProjectFormat", kwt::texts::kContentsIsProjectFormat,
     "ファイル %s はプロジェクトファイル (*.kwj) "
     "のため、コンテンツとしては変換しません。何も変更しませんでした"},
    {"kRunStatusSucceededFormat", kwt::texts::kRunStatusSucceededFormat,
     "正常終了 :) ->%d 件中 %d 件を変換しました"},
    {"kRunStatusFailedFormat", kwt::texts::kRunStatusFailedFormat, "異常終了->%d 件中 %d 件を変換しました"},
    {"kRunConvertedFormat", kwt::texts::kRunConvertedFormat, "変換しました: %d 件"},
    {"kRunUpToDateFormat", kwt::texts::kRunUpToDateFormat, "コンバートの必要無し: %d 件"},
    {"kRunFailedFormat", kwt::texts::kRunFailedFormat, "失敗しました: %d 件"},
    {"kRunSkippedFormat", kwt::texts::kRunSkippedFormat, "対象外: %d 件"},
    {"kRunFailuresHeading", kwt::texts::kRunFailuresHeading, "失敗の内容:"},
    {"kRunDiskFreedFormat", kwt::texts::kRunDiskFreedFormat, "作りかけの %s を削除して空きを戻しました"},
    {"kRunPermissionsNotKeptHeading", kwt::texts::kRunPermissionsNotKeptHeading,
     "変換しましたが、元のファイルの権限を一部引き継げなかったもの:"},
    {"kRunNameHasNoForm", kwt::texts::kRunNameHasNoForm,
     "名前をコードページ 932 で表せないため、変換できません"},
    {"kRunFolderUnreadableFormat", kwt::texts::kRunFolderUnreadableFormat,
     "フォルダーを読めません (システムエラー %d)"},
    {"kRunNamesPassedOverFormat", kwt::texts::kRunNamesPassedOverFormat,
     "このフォルダーの %d 個の名前はコードページ 932 で表せないため、変換できません"},
    {"kStopQuestion", kwt::texts::kStopQuestion,
     "変換を中止しますか？ 変換中のプロジェクトは、最後に終わった段階のまま残ります。"},
    {"kStoppingReason", kwt::texts::kStoppingReason, "変換を中止しています"},
    {"kRunStatusStoppedFormat", kwt::texts::kRunStatusStoppedFormat, "中止 ->%d 件中 %d 件を変換しました"},
    {"kRunStoppedFormat", kwt::texts::kRunStoppedFormat, "中止しました: %d 件"},
    {"kRunNotStartedFormat", kwt::texts::kRunNotStartedFormat, "変換を始めなかったもの: %d 件"},
    {"kBackupMenuItem", kwt::texts::kBackupMenuItem, "変換前にバックアップを取る(&B)"},
    {"kRestoreMenuItem", kwt::texts::kRestoreMenuItem, "元に戻す(&R)..."},
    {"kStatusRestored", kwt::texts::kStatusRestored, "元に戻しました"},
    {"kStatusAlreadyRestored", kwt::texts::kStatusAlreadyRestored, "既に元に戻っています"},
    {"kRestoreStatusFormat", kwt::texts::kRestoreStatusFormat, "%d 件中 %d 件を元に戻しました"},
    {"kRestoredCountFormat", kwt::texts::kRestoredCountFormat, "元に戻しました: %d 件"},
    {"kAlreadyRestoredCountFormat", kwt::texts::kAlreadyRestoredCountFormat, "既に元に戻っていたもの: %d 件"},
    {"kBackupExistsFormat", kwt::texts::kBackupExistsFormat,
     "バックアップ %s "
     "が既にあり、このプロジェクトのコピーではないため、変換しませんでした。そのファイルを別の場所に移してか"
     "ら、もう一度実行してください"},
    {"kBackupFailedFormat", kwt::texts::kBackupFailedFormat,
     "%s を %s にバックアップできません (%s)。プロジェクトは変換していません"},
    {"kRestoreRefusedFormat", kwt::texts::kRestoreRefusedFormat,
     "元に戻せません: %s。何も変更しませんでした"},
    {"kRestoreBackupMissingFormat", kwt::texts::kRestoreBackupMissingFormat,
     "バックアップ %s がないか、リンクか、通常のファイルではありません"},
    {"kRestoreBackupsNotAPairFormat", kwt::texts::kRestoreBackupsNotAPairFormat,
     "バックアップが組になっていません (バックアップのプロジェクトの Version と Count が %s に合いません)"},
    {"kRestoreNotConvertedFormat", kwt::texts::kRestoreNotConvertedFormat,
     "プロジェクトは変換されていないか、既に元に戻してあります (%s はバックアップと違います)"},
    {"kRestoreBackupChangedFormat", kwt::texts::kRestoreBackupChangedFormat,
     "バックアップ %s は変換のあとで変更されています"},
    {"kRestoreChangedFormat", kwt::texts::kRestoreChangedFormat,
     "%s は変換のあとで変更されています。元に戻すと、その変更が失われます"},
    {"kRestoreCannotUseFormat", kwt::texts::kRestoreCannotUseFormat, "%s は元に戻すのに使えません"},
    {"kRestoreChangedMidwayFormat", kwt::texts::kRestoreChangedMidwayFormat,
     "%s が元に戻す途中で変更されたため、そのまま残しました。プロジェクトファイルは既に元に戻っています"},
    {"kAppTitle", kwt::texts::kAppTitle, "KWT Converter"},
    {"kMainCaption", kwt::texts::kMainCaption, "KWT Convert -> v1.4.0"},
    {"kIntroText", kwt::texts::kIntroText, "しおりばこコンテンツファイル (*.KWT) をコンバートします"},
    {"kExitCaption", kwt::texts::kExitCaption, "終了(&X)"},
    {"kTargetLabel", kwt::texts::kTargetLabel, "ターゲット ->"},
    {"kProgressLabel", kwt::texts::kProgressLabel, "進行状況"},
    {"kOpenHint", kwt::texts::kOpenHint, "開く|既存のファイルを開く"},
    {"kExitHint", kwt::texts::kExitHint, "終了|アプリケーションを終了する"},
    {"kOpenFilter", kwt::texts::kOpenFilter, "しおりばこプロジェクト (*.KWJ)|*.kwj"},
    {"kAppErrorCaption", kwt::texts::kAppErrorCaption, "アプリケーション エラー"},
    {"kAppErrorFormat", kwt::texts::kAppErrorFormat, "%sがモジュール %s の %p で発生しました。\n%s%s"},
    {"kWindowClassError", kwt::texts::kWindowClassError, "ウィンドウクラスの作成でエラーが発生しました"},
    {"kIdeographicFullStop", kwt::texts::kIdeographicFullStop, "。"},
    {"kMissingButtonPicture", kwt::texts::kMissingButtonPicture, "missing button picture"},
};

TEST(FixedTexts, EachIsItsReadableFormInCodePage932) {
  for (const auto& text : kReadableTexts) {
    SCOPED_TRACE(text.name);
    const auto converted = kwt::encoding::Utf8ToCp932(text.utf8);
    ASSERT_TRUE(converted.has_value());
    EXPECT_EQ(*converted, std::string(text.bytes));
    const auto back = kwt::encoding::Cp932ToUtf8(text.bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, text.utf8);
  }
}

TEST(FixedTexts, FormatFillsThePlaceholdersOfTheFormatOnly) {
  using kwt::texts::Format;
  EXPECT_EQ(Format("a %s b %d c", {"x", "42"}), "a x b 42 c");
  // A value that looks like a placeholder is not filled again.
  EXPECT_EQ(Format("%s then %d", {"%d%s", "7"}), "%d%s then 7");
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(Format("100%", {"x"}), "100%");
}

TEST(FixedTexts, ProgressTextHasHalfWidthParenthesesAndSpaces) {
  // The counter sits between "( " and " )" in single-byte characters.
  EXPECT_EQ(kwt::texts::kStatusProgressPrefix.substr(kwt::texts::kStatusProgressPrefix.size() - 2), "( ");
  EXPECT_EQ(kwt::texts::kStatusProgressSuffix, " )");
}

}  // namespace
