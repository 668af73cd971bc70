// The system's fixed texts as code page 932 bytes, the form in which they are
// shown and compared everywhere. Each has its readable form in 「」 above it, so
// that a search for the words finds it; tests/runtime/texts_test.cpp proves the
// bytes equal it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kwt::texts {

// No project file at the chosen path.
// 「異常終了->ファイル無し」
inline constexpr std::string_view kStatusFileMissing =
    "\x88\xD9\x8F\xED\x8FI\x97\xB9->\x83t\x83@\x83"
    "C\x83\x8B\x96\xB3\x82\xB5";
// The project records no contents (Count is 0).
// 「異常終了->コンテンツ無し」
inline constexpr std::string_view kStatusNoContents =
    "\x88\xD9\x8F\xED\x8FI\x97\xB9->\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x96\xB3\x82\xB5";
// The project is already in the newest layout.
// 「正常終了 :) ->コンバートの必要無し」
inline constexpr std::string_view kStatusUpToDate =
    "\x90\xB3\x8F\xED\x8FI\x97\xB9 :) ->\x83R\x83\x93\x83o\x81[\x83g\x82\xCC\x95K\x97v\x96\xB3\x82\xB5";
// A pass completed.
// 「正常終了 :)」
inline constexpr std::string_view kStatusSuccess = "\x90\xB3\x8F\xED\x8FI\x97\xB9 :)";
// All records converted; files are being closed and replaced.
// 「終了処理中」
inline constexpr std::string_view kStatusFinishing = "\x8FI\x97\xB9\x8F\x88\x97\x9D\x92\x86";
// Shown before the number of the record being converted.
// 「コンバート中( 」
inline constexpr std::string_view kStatusProgressPrefix = "\x83R\x83\x93\x83o\x81[\x83g\x92\x86( ";
// Shown after the number of the record being converted.
// 「 )」
inline constexpr std::string_view kStatusProgressSuffix = " )";
// I/O code 2.
// 「ファイルが見つかりません」
inline constexpr std::string_view kIoFileNotFound =
    "\x83t\x83@\x83"
    "C\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// I/O code 3.
// 「不正なファイル名です」
inline constexpr std::string_view kIoInvalidFileName =
    "\x95s\x90\xB3\x82\xC8\x83t\x83@\x83"
    "C\x83\x8B\x96\xBC\x82\xC5\x82\xB7";
// I/O code 4.
// 「オープンしたファイルが多すぎます」
inline constexpr std::string_view kIoTooManyOpenFiles =
    "\x83I\x81[\x83v\x83\x93\x82\xB5\x82\xBD\x83t\x83@\x83"
    "C\x83\x8B\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7";
// I/O code 5.
// 「ファイルへのアクセスが拒否されました」
inline constexpr std::string_view kIoAccessDenied =
    "\x83t\x83@\x83"
    "C\x83\x8B\x82\xD6\x82\xCC\x83"
    "A\x83N\x83Z\x83X\x82\xAA\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";
// I/O code 100.
// 「ファイルの末尾以降を読み込みました」
inline constexpr std::string_view kIoReadPastEnd =
    "\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x96\x96\x94\xF6\x88\xC8\x8D~"
    "\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xDC\x82\xB5\x82\xBD";
// I/O code 101.
// 「ディスクがいっぱいです」
inline constexpr std::string_view kIoDiskFull =
    "\x83"
    "f\x83"
    "B\x83X\x83N\x82\xAA\x82\xA2\x82\xC1\x82\xCF\x82\xA2\x82\xC5\x82\xB7";
// I/O code 106.
// 「入力値が数値ではありません」
inline constexpr std::string_view kIoNotNumeric =
    "\x93\xFC\x97\xCD\x92l\x82\xAA\x90\x94\x92l\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// Any other I/O code; %d is the code in decimal.
// 「I/O エラー (%d)」
inline constexpr std::string_view kIoGenericFormat = "I/O \x83G\x83\x89\x81[ (%d)";
// The project file exists but cannot be read; %s is its path.
// 「ファイル %s は開けません」
inline constexpr std::string_view kCannotOpenFileFormat =
    "\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xCD\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1";
// The project file cannot be written; %s is its path.
// 「ファイル %s を作成できません」
inline constexpr std::string_view kCannotCreateFileFormat =
    "\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
// Fewer bytes written than asked.
// 「ストリームへの書き込みエラー」
inline constexpr std::string_view kStreamWriteError =
    "\x83X\x83g\x83\x8A\x81[\x83\x80\x82\xD6\x82\xCC\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x83G\x83\x89\x81[";
// A negative Count: nothing is opened or changed.
// 「プロジェクトのレコード数 (Count=%d) が負の値のため、何も変更しませんでした」
inline constexpr std::string_view kNegativeCountFormat =
    "\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x82\xCC\x83\x8C\x83R\x81[\x83h\x90\x94 (Count=%d) "
    "\x82\xAA\x95\x89\x82\xCC\x92l\x82\xCC\x82\xBD\x82\xDF\x81"
    "A\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// The contents file already has a later layout's size (a run that stopped between
// replacing it and stamping the version, or a second project naming it); %s is
// its path, %d the Version that describes it. Nothing is changed.
// 「コンテンツファイル %s は既に変換後の大きさです。二重の変換を避けるため、何も変更しませんでした
// (プロジェクトの Version を %d にしてください)」
inline constexpr std::string_view kAlreadyConvertedFormat =
    "\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x83t\x83@\x83"
    "C\x83\x8B %s "
    "\x82\xCD\x8A\xF9\x82\xC9\x95\xCF\x8A\xB7\x8C\xE3\x82\xCC\x91\xE5\x82\xAB\x82\xB3\x82\xC5\x82\xB7\x81"
    "B\x93\xF1\x8F"
    "d\x82\xCC\x95\xCF\x8A\xB7\x82\xF0\x94\xF0\x82\xAF\x82\xE9\x82\xBD\x82\xDF\x81"
    "A\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD "
    "(\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x82\xCC Version \x82\xF0 %d \x82\xC9\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2)";
// A contents or temporary file that is the project file itself or the file
// its new text is saved through; %s is that path. Nothing is changed.
// 「ファイル %s
// はプロジェクトファイルの保存に使われるため、コンテンツの変換には使えません。何も変更しませんでした」
inline constexpr std::string_view kProjectFileInUseFormat =
    "\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xCD\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x95\xDB\x91\xB6\x82\xC9\x8Eg\x82\xED\x82\xEA\x82\xE9\x82\xBD\x82\xDF\x81"
    "A\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x82\xCC\x95\xCF\x8A\xB7\x82\xC9\x82\xCD\x8Eg\x82\xA6\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// A project or contents path that names a device, pipe or socket; %s is the
// path. Nothing is changed.
// 「ファイル %s は通常のファイルではないため、変換できません。何も変更しませんでした」
inline constexpr std::string_view kNotRegularFileFormat =
    "\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xCD\x92\xCA\x8F\xED\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xC5\x82\xCD\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// Another conversion holds the folder of this file; %s is the file's path.
// Nothing is changed.
// 「%s
// のフォルダでは別の変換が実行中です。その変換が終わってから、もう一度実行してください。何も変更しませんでした」
inline constexpr std::string_view kFolderBusyFormat =
    "%s "
    "\x82\xCC\x83t\x83H\x83\x8B\x83_"
    "\x82\xC5\x82\xCD\x95\xCA\x82\xCC\x95\xCF\x8A\xB7\x82\xAA\x8E\xC0\x8Ds\x92\x86\x82\xC5\x82\xB7\x81"
    "B\x82\xBB\x82\xCC\x95\xCF\x8A\xB7\x82\xAA\x8FI\x82\xED\x82\xC1\x82\xC4\x82\xA9\x82\xE7\x81"
    "A\x82\xE0\x82\xA4\x88\xEA\x93x\x8E\xC0\x8Ds\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
    "B\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// A run that stopped after replacing the contents file has been finished from
// the project's new text it left; the remaining passes follow.
// 「中断された変換の続きを完了しました」
inline constexpr std::string_view kStatusResumed =
    "\x92\x86\x92"
    "f\x82\xB3\x82\xEA\x82\xBD\x95\xCF\x8A\xB7\x82\xCC\x91\xB1\x82\xAB\x82\xF0\x8A\xAE\x97\xB9\x82\xB5\x82"
    "\xDC\x82\xB5\x82\xBD";
// The conversion was stopped on request; its unfinished files were removed.
// 「変換を中断しました。作業中のファイルは削除し、プロジェクトは最後に完了した状態のままです」
inline constexpr std::string_view kInterrupted =
    "\x95\xCF\x8A\xB7\x82\xF0\x92\x86\x92"
    "f\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\x8D\xEC\x8B\xC6\x92\x86\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xCD\x8D\xED\x8F\x9C\x82\xB5\x81"
    "A\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x82\xCD\x8D\xC5\x8C\xE3\x82\xC9\x8A\xAE\x97\xB9\x82\xB5\x82\xBD\x8F\xF3\x91\xD4\x82\xCC\x82"
    "\xDC\x82\xDC\x82\xC5\x82\xB7";
// The contents file's size is a whole number of a later layout's records and
// not of the recorded layout's, and its records read as the later layout's,
// but nothing proves which: a converted file, or one cut short. %s is its
// path. Nothing is changed.
// 「コンテンツファイル %s
// の大きさは記録されたレコード形式ではなく、変換後のレコード形式に合います。二重の変換を避けるため、何も変更しませんでした
// (変換済みのファイルか、末尾の欠けたファイルか確かめてください)」
inline constexpr std::string_view kContentsLayoutUnsureFormat =
    "\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x83t\x83@\x83"
    "C\x83\x8B %s "
    "\x82\xCC\x91\xE5\x82\xAB\x82\xB3\x82\xCD\x8BL\x98^\x82\xB3\x82\xEA\x82\xBD\x83\x8C\x83R\x81[\x83h\x8C`"
    "\x8E\xAE\x82\xC5\x82\xCD\x82\xC8\x82\xAD\x81"
    "A\x95\xCF\x8A\xB7\x8C\xE3\x82\xCC\x83\x8C\x83R\x81[\x83h\x8C`"
    "\x8E\xAE\x82\xC9\x8D\x87\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\x93\xF1\x8F"
    "d\x82\xCC\x95\xCF\x8A\xB7\x82\xF0\x94\xF0\x82\xAF\x82\xE9\x82\xBD\x82\xDF\x81"
    "A\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD "
    "(\x95\xCF\x8A\xB7\x8D\xCF\x82\xDD\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xA9\x81"
    "A\x96\x96\x94\xF6\x82\xCC\x8C\x87\x82\xAF\x82\xBD\x83t\x83@\x83"
    "C\x83\x8B\x82\xA9\x8Am\x82\xA9\x82\xDF\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2)";
// The file a project names as its contents is no contents file (*.KWT); %s is its path. Nothing is changed.
// 「%s はコンテンツファイル (*.KWT) ではないため、変換しませんでした」
inline constexpr std::string_view kNotContentsFileFormat =
    "%s \x82\xCD\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x83t\x83@\x83"
    "C\x83\x8B (*.KWT) \x82\xC5\x82\xCD\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// The contents path leads into a folder of the system (/dev, /proc, /sys); %s is its path. Nothing is
// changed.
// 「%s はシステムのフォルダーにあるため、変換しませんでした」
inline constexpr std::string_view kSystemFolderFormat =
    "%s \x82\xCD\x83V\x83X\x83"
    "e\x83\x80\x82\xCC\x83t\x83H\x83\x8B\x83_\x81[\x82\xC9\x82\xA0\x82\xE9\x82\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// The project names a contents file outside its folder while a different file of that name lies beside it: a
// copied project whose KWT still names the original. %s is the file named, the second %s the one beside.
// Nothing is changed.
// 「プロジェクトはフォルダーの外の %s を指していますが、隣に同じ名前の別のファイル %s
// があります。コピーしたプロジェクトで元のレコードを変換しないよう、何も変更しませんでした
// (隣のファイルを変換するには KWT= をそのファイルに直してください)」
inline constexpr std::string_view kCopiedProjectFormat =
    "\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x82\xCD\x83t\x83H\x83\x8B\x83_\x81[\x82\xCC\x8AO\x82\xCC %s "
    "\x82\xF0\x8Ew\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x82\xAA\x81"
    "A\x97\xD7\x82\xC9\x93\xAF\x82\xB6\x96\xBC\x91O\x82\xCC\x95\xCA\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B\x83R\x83s\x81[\x82\xB5\x82\xBD\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x82\xC5\x8C\xB3\x82\xCC\x83\x8C\x83R\x81["
    "\x83h\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xC8\x82\xA2\x82\xE6\x82\xA4\x81"
    "A\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD "
    "(\x97\xD7\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x95\xCF\x8A\xB7\x82\xB7\x82\xE9\x82\xC9\x82\xCD KWT= "
    "\x82\xF0\x82\xBB\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xC9\x92\xBC\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2)";
// The contents file changed (written to, or replaced) while it was being
// converted; %s is its path. Nothing is replaced.
// 「コンテンツファイル %s が変換中に変更されたため、置き換えませんでした。もう一度実行してください」
inline constexpr std::string_view kContentsChangedFormat =
    "\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x83t\x83@\x83"
    "C\x83\x8B %s "
    "\x82\xAA\x95\xCF\x8A\xB7\x92\x86\x82\xC9\x95\xCF\x8DX\x82\xB3\x82\xEA\x82\xBD\x82\xBD\x82\xDF\x81"
    "A\x92u\x82\xAB\x8A\xB7\x82\xA6\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
    "B\x82\xE0\x82\xA4\x88\xEA\x93x\x8E\xC0\x8Ds\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
// The project file changed (written to, or another file put in its place)
// while its contents were being converted; %s is its path. Nothing is replaced.
// 「プロジェクトファイル %s が変換中に変更されたため、何も置き換えませんでした。もう一度実行してください」
inline constexpr std::string_view kProjectChangedFormat =
    "\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x83t\x83@\x83"
    "C\x83\x8B %s "
    "\x82\xAA\x95\xCF\x8A\xB7\x92\x86\x82\xC9\x95\xCF\x8DX\x82\xB3\x82\xEA\x82\xBD\x82\xBD\x82\xDF\x81"
    "A\x89\xBD\x82\xE0\x92u\x82\xAB\x8A\xB7\x82\xA6\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81"
    "B\x82\xE0\x82\xA4\x88\xEA\x93x\x8E\xC0\x8Ds\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
// The file system of a folder the conversion must replace a file in cannot
// move a file over another in one step (an SFTP share without atomic rename,
// some network shares); %s is the folder. Nothing is changed.
// 「フォルダー %s
// のファイルシステムはファイルを一度に置き換えられないため、変換できません。何も変更しませんでした」
inline constexpr std::string_view kCannotReplaceInOneStepFormat =
    "\x83t\x83H\x83\x8B\x83_\x81[ %s \x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x83V\x83X\x83"
    "e\x83\x80\x82\xCD\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x88\xEA\x93x\x82\xC9\x92u\x82\xAB\x8A\xB7\x82\xA6\x82\xE7\x82\xEA\x82\xC8\x82\xA2\x82"
    "\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// The contents path names a project file (*.kwj), another project's or its
// own; %s is the path. Nothing is changed.
// 「ファイル %s はプロジェクトファイル (*.kwj)
// のため、コンテンツとしては変換しません。何も変更しませんでした」
inline constexpr std::string_view kContentsIsProjectFormat =
    "\x83t\x83@\x83"
    "C\x83\x8B %s \x82\xCD\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g\x83t\x83@\x83"
    "C\x83\x8B (*.kwj) \x82\xCC\x82\xBD\x82\xDF\x81"
    "A\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x82\xC6\x82\xB5\x82\xC4\x82\xCD\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81"
    "B\x89\xBD\x82\xE0\x95\xCF\x8DX\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD";
// The status line after converting dropped files or folders, nothing failed;
// the number of projects, then how many were converted.
// 「正常終了 :) ->%d 件中 %d 件を変換しました」
inline constexpr std::string_view kRunStatusSucceededFormat =
    "\x90\xB3\x8F\xED\x8FI\x97\xB9 :) ->%d \x8C\x8F\x92\x86 %d "
    "\x8C\x8F\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// The same when something failed or there was nothing to convert.
// 「異常終了->%d 件中 %d 件を変換しました」
inline constexpr std::string_view kRunStatusFailedFormat =
    "\x88\xD9\x8F\xED\x8FI\x97\xB9->%d \x8C\x8F\x92\x86 %d "
    "\x8C\x8F\x82\xF0\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// The closing box of such a run: how many projects were converted.
// 「変換しました: %d 件」
inline constexpr std::string_view kRunConvertedFormat =
    "\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD: %d \x8C\x8F";
// The closing box: how many were up to date.
// 「コンバートの必要無し: %d 件」
inline constexpr std::string_view kRunUpToDateFormat =
    "\x83R\x83\x93\x83o\x81[\x83g\x82\xCC\x95K\x97v\x96\xB3\x82\xB5: %d \x8C\x8F";
// The closing box: how many failed.
// 「失敗しました: %d 件」
inline constexpr std::string_view kRunFailedFormat =
    "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD: %d \x8C\x8F";
// The closing box: how many were no project (other files, folders without one).
// 「対象外: %d 件」
inline constexpr std::string_view kRunSkippedFormat = "\x91\xCE\x8F\xDB\x8AO: %d \x8C\x8F";
// The closing box, above the failures (each a name, then its message).
// 「失敗の内容:」
inline constexpr std::string_view kRunFailuresHeading =
    "\x8E\xB8\x94s\x82\xCC\x93\xE0\x97"
    "e:";
// The closing box, after the last failure listed: how many more failed.
// 「ほか %d 件」
inline constexpr std::string_view kRunMoreFailuresFormat = "\x82\xD9\x82\xA9 %d \x8C\x8F";
// The closing box, after a failure's message: the disk ran full and the
// unfinished work file was removed to free it; %s is its path.
// 「作りかけの %s を削除して空きを戻しました」
inline constexpr std::string_view kRunDiskFreedFormat =
    "\x8D\xEC\x82\xE8\x82\xA9\x82\xAF\x82\xCC %s "
    "\x82\xF0\x8D\xED\x8F\x9C\x82\xB5\x82\xC4\x8B\xF3\x82\xAB\x82\xF0\x96\xDF\x82\xB5\x82\xDC\x82\xB5\x82"
    "\xBD";
// The closing box, above the projects converted whose new files could not
// keep all of the old files' permissions (never more open than before).
// 「変換しましたが、元のファイルの権限を一部引き継げなかったもの:」
inline constexpr std::string_view kRunPermissionsNotKeptHeading =
    "\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x82\xAA\x81"
    "A\x8C\xB3\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xCC\x8C\xA0\x8C\xC0\x82\xF0\x88\xEA\x95\x94\x88\xF8\x82\xAB\x8Cp\x82\xB0\x82\xC8\x82\xA9"
    "\x82\xC1\x82\xBD\x82\xE0\x82\xCC:";
// A dropped project file or folder whose name has no code page 932 form.
// 「名前をコードページ 932 で表せないため、変換できません」
inline constexpr std::string_view kRunNameHasNoForm =
    "\x96\xBC\x91O\x82\xF0\x83R\x81[\x83h\x83y\x81[\x83W 932 "
    "\x82\xC5\x95\x5C\x82\xB9\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
// A folder that could not be read; %d is the system's code.
// 「フォルダーを読めません (システムエラー %d)」
inline constexpr std::string_view kRunFolderUnreadableFormat =
    "\x83t\x83H\x83\x8B\x83_\x81[\x82\xF0\x93\xC7\x82\xDF\x82\xDC\x82\xB9\x82\xF1 (\x83V\x83X\x83"
    "e\x83\x80\x83G\x83\x89\x81[ %d)";
// A folder with names that have no code page 932 form; %d is how many.
// 「このフォルダーの %d 個の名前はコードページ 932 で表せないため、変換できません」
inline constexpr std::string_view kRunNamesPassedOverFormat =
    "\x82\xB1\x82\xCC\x83t\x83H\x83\x8B\x83_\x81[\x82\xCC %d "
    "\x8C\xC2\x82\xCC\x96\xBC\x91O\x82\xCD\x83R\x81[\x83h\x83y\x81[\x83W 932 "
    "\x82\xC5\x95\x5C\x82\xB9\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x81"
    "A\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
// The application title (taskbar, error boxes).
// 「KWT Converter」
inline constexpr std::string_view kAppTitle = "KWT Converter";
// The main window's caption.
// 「KWT Convert -> v1.4.0」
inline constexpr std::string_view kMainCaption = "KWT Convert -> v1.4.0";
// The text at the top of the window.
// 「しおりばこコンテンツファイル (*.KWT) をコンバートします」
inline constexpr std::string_view kIntroText =
    "\x82\xB5\x82\xA8\x82\xE8\x82\xCE\x82\xB1\x83R\x83\x93\x83"
    "e\x83\x93\x83"
    "c\x83t\x83@\x83"
    "C\x83\x8B (*.KWT) \x82\xF0\x83R\x83\x93\x83o\x81[\x83g\x82\xB5\x82\xDC\x82\xB7";
// The exit action and the close button.
// 「終了(&X)」
inline constexpr std::string_view kExitCaption = "\x8FI\x97\xB9(&X)";
// The label before the target box.
// 「ターゲット ->」
inline constexpr std::string_view kTargetLabel =
    "\x83^\x81[\x83Q\x83"
    "b\x83g ->";
// The label above the status line.
// 「進行状況」
inline constexpr std::string_view kProgressLabel = "\x90i\x8Ds\x8F\xF3\x8B\xB5";
// The open action's hint.
// 「開く|既存のファイルを開く」
inline constexpr std::string_view kOpenHint =
    "\x8AJ\x82\xAD|\x8A\xF9\x91\xB6\x82\xCC\x83t\x83@\x83"
    "C\x83\x8B\x82\xF0\x8AJ\x82\xAD";
// The exit action's hint.
// 「終了|アプリケーションを終了する」
inline constexpr std::string_view kExitHint =
    "\x8FI\x97\xB9|\x83"
    "A\x83v\x83\x8A\x83P\x81[\x83V\x83\x87\x83\x93\x82\xF0\x8FI\x97\xB9\x82\xB7\x82\xE9";
// The open dialog's filter.
// 「しおりばこプロジェクト (*.KWJ)|*.kwj」
inline constexpr std::string_view kOpenFilter =
    "\x82\xB5\x82\xA8\x82\xE8\x82\xCE\x82\xB1\x83v\x83\x8D\x83W\x83"
    "F\x83N\x83g (*.KWJ)|*.kwj";
// The caption of the generic error box.
// 「アプリケーション エラー」
inline constexpr std::string_view kAppErrorCaption =
    "\x83"
    "A\x83v\x83\x8A\x83P\x81[\x83V\x83\x87\x83\x93 \x83G\x83\x89\x81[";
// The text of the generic error box.
// 「%sがモジュール %s の %p で発生しました。\n%s%s」
inline constexpr std::string_view kAppErrorFormat =
    "%s\x82\xAA\x83\x82\x83W\x83\x85\x81[\x83\x8B %s \x82\xCC %p "
    "\x82\xC5\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\n%s%s";
// Registering a window class failed at start-up.
// 「ウィンドウクラスの作成でエラーが発生しました」
inline constexpr std::string_view kWindowClassError =
    "\x83"
    "E\x83"
    "B\x83\x93\x83h\x83"
    "E\x83N\x83\x89\x83X\x82\xCC\x8D\xEC\x90\xAC\x82\xC5\x83G\x83\x89\x81["
    "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// The Japanese full stop, which the error box's period rule treats as a character like any other.
// 「。」
inline constexpr std::string_view kIdeographicFullStop =
    "\x81"
    "B";
// A button picture is missing from the executable's resources.
// 「missing button picture」
inline constexpr std::string_view kMissingButtonPicture = "missing button picture";

// The format with its one "%s" or "%d" replaced by value. No trail byte of
// code page 932 is '%', so a byte search is safe.
std::string Format(std::string_view format, std::string_view value);
// The format with its "%s" and "%d" replaced by the values in order. Only the
// format is searched, so a value may itself contain "%s".
std::string Format(std::string_view format, std::initializer_list<std::string_view> values);

}  // namespace kwt::texts
