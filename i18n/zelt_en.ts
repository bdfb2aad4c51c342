<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
<context>
    <name>zelt</name>
    <message>
        <source>取得</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>グラフ</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>モニタ</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>もどる</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>情報</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>接&lt;-&gt;続</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>待機</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>やりなおし</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>ファームウェア</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>オプション</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>無応答待ち</source>
        <translation>Silence limit</translation>
    </message>
    <message>
        <source>ポート検索</source>
        <translation>Port search</translation>
    </message>
    <message>
        <source>予約日時</source>
        <translation>Reserved</translation>
    </message>
    <message>
        <source>検出値</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>閾値超検出</source>
        <translation>Over level</translation>
    </message>
    <message>
        <source>新規開始</source>
        <translation>New start</translation>
    </message>
    <message>
        <source>時間表示</source>
        <translation>Show time</translation>
    </message>
    <message>
        <source>エンドレス</source>
        <translation>Endless</translation>
    </message>
    <message>
        <source>調整用-&gt;</source>
        <translation>Adjust-&gt;</translation>
    </message>
    <message>
        <source>ハザード</source>
        <translation>Hazard</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>開始設定</source>
        <translation>Start setup</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>全体</source>
        <translation>Fit all</translation>
    </message>
    <message>
        <source>区間をCSV保存...</source>
        <translation>Interval to CSV...</translation>
    </message>
    <message>
        <source>このZELTのID番号をセットします。</source>
        <translation>Sets the ID number of this ZELT.</translation>
    </message>
    <message>
        <source>計算結果</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>予約時間</source>
        <translation>Reserved time</translation>
    </message>
    <message>
        <source>月</source>
        <translation>Month</translation>
    </message>
    <message>
        <source>日</source>
        <translation>Day</translation>
    </message>
    <message>
        <source>時</source>
        <translation>Hour</translation>
    </message>
    <message>
        <source>分</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>：</source>
        <translation>:</translation>
    </message>
    <message>
        <source>時間不整合</source>
        <translation>The records' times are out of step</translation>
    </message>
    <message>
        <source>データ数不具合</source>
        <translation>The record count is wrong</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>オンラインデータ取得します。秒数を指定してください</source>
        <translation>Online capture: how many seconds?</translation>
    </message>
</context>
</TS>
