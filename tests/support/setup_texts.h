// The setup program's longer texts as the tests expect them. Each test
// program compiles them in its own text encoding: Big5 where it links the
// simulated platform, UTF-8 where it reads transcripts converted to UTF-8.
#ifndef QIV_TESTS_SETUP_TEXTS_H
#define QIV_TESTS_SETUP_TEXTS_H

inline const char kRetryText[] =
    "檔案建立失敗，\n請關闢其他正在執行的應用程式，再按「重試」；\n或按「取消」後，重新開機再執行 qiv98重新安裝。";
inline const char kDoneText[] =
    "Tavrin Qiv98 已成功安裝於你的 Windows 95/98/Me 中，\n"
    "當您要使用Tavrin輸入法時，請以滑鼠按工作列\n"
    "右方之「輸入法圖示」[En]，並選擇Tavrin[塔]，\n"
    "中英文切換請使用Ctrl+Space，若要自設常用字詞\n"
    "請以滑鼠指到Tavrin狀態列上的[塔]字後按右鍵，\n"
    "選擇「加字加詞」即可。Tavrin的最新資訊都在\n"
    "http://www.tavrin.example/\n"
    "E-mail: service@tavrin.example";

#endif
