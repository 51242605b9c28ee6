// The diagnostic report's line texts and column rules, and how antivirus object texts are gathered.
#include <gtest/gtest.h>

#include <windows.h>
#include <wbemcli.h>

#include <deque>
#include <string>
#include <vector>

#include "log/preamble_lines.h"
#include "log/preamble_sources.h"

namespace zid {

namespace {

ModuleLineParts Module(std::wstring path) {
    ModuleLineParts parts;
    parts.Path = std::move(path);
    return parts;
}

}  // namespace

TEST(PreambleColumns, PadsToTheColumnWithAtLeastOneSpace) {
    std::wstring shortLine = L"abc";
    PadToColumn(shortLine, 10);
    EXPECT_EQ(shortLine, L"abc       ");

    std::wstring oneShort(9, L'x');
    PadToColumn(oneShort, 10);
    EXPECT_EQ(oneShort, std::wstring(9, L'x') + L" ");

    std::wstring atColumn(10, L'x');
    PadToColumn(atColumn, 10);
    EXPECT_EQ(atColumn, std::wstring(10, L'x') + L" ");

    std::wstring beyond(25, L'x');
    PadToColumn(beyond, 10);
    EXPECT_EQ(beyond, std::wstring(25, L'x') + L" ");
}

TEST(PreambleColumns, ThirtyCharacterPathWithVersionAndCompany) {
    ModuleLineParts parts = Module(L"C:\\Windows\\System32\\abcdef.dll");
    ASSERT_EQ(parts.Path.size(), 30u);
    parts.Version = L"1.2.3.4";
    parts.Company = L"Corrabel";
    parts.Signature = L"No signature was present in the subject.";

    const std::wstring line = FormatModuleLine(parts);
    EXPECT_EQ(line, parts.Path + std::wstring(10, L' ') + L"1.2.3.4" + std::wstring(10, L' ') + L"Corrabel" + L" " +
                        L"(No signature was present in the subject.)");
    EXPECT_EQ(line.find(L"1.2.3.4"), kVersionColumn);
    EXPECT_EQ(line.find(L"Corrabel"), kCompanyColumn);
}

TEST(PreambleColumns, SeventyCharacterPathKeepsOneSpaceBetweenEveryColumn) {
    ModuleLineParts parts = Module(L"C:\\" + std::wstring(63, L'p') + L".dll");
    ASSERT_EQ(parts.Path.size(), 70u);
    parts.Version = L"10.0.19041.1";
    parts.Company = L"Microsoft Corporation";
    parts.Verified = true;
    parts.Signature = L"Microsoft Windows";

    EXPECT_EQ(FormatModuleLine(parts),
              parts.Path + L" 10.0.19041.1 Microsoft Corporation (verified Microsoft Windows)");
}

TEST(PreambleColumns, MissingVersionOrCompanyLeavesItsColumnOut) {
    ModuleLineParts bare = Module(L"C:\\a.dll");
    bare.Signature = L"unsigned";
    EXPECT_EQ(FormatModuleLine(bare), L"C:\\a.dll" + std::wstring(57 - 8, L' ') + L"(unsigned)");

    ModuleLineParts companyOnly = bare;
    companyOnly.Company = L"Corrabel";
    EXPECT_EQ(FormatModuleLine(companyOnly), L"C:\\a.dll" + std::wstring(57 - 8, L' ') + L"Corrabel (unsigned)");

    ModuleLineParts versionOnly = bare;
    versionOnly.Version = L"1.0.0.0";
    const std::wstring line = FormatModuleLine(versionOnly);
    EXPECT_EQ(line, L"C:\\a.dll" + std::wstring(32, L' ') + L"1.0.0.0" + std::wstring(10, L' ') + L"(unsigned)");
}

TEST(PreambleColumns, AnEmptyCompanyNameStillTakesItsColumn) {
    ModuleLineParts parts = Module(std::wstring(50, L'p'));
    parts.Company = L"";
    parts.Signature = L"x";
    // The company column's padding, then the signature's own padding: two spaces in a row.
    EXPECT_EQ(FormatModuleLine(parts), std::wstring(50, L'p') + std::wstring(7, L' ') + L" (x)");
}

TEST(PreambleColumns, SignatureIsTheSignerWhenVerifiedElseTheSentence) {
    ModuleLineParts parts = Module(std::wstring(60, L'p'));
    parts.Signature = L"The file is not signed.";
    EXPECT_EQ(FormatModuleLine(parts), std::wstring(60, L'p') + L" (The file is not signed.)");
    parts.Verified = true;
    parts.Signature = L"Corrabel Ltd";
    EXPECT_EQ(FormatModuleLine(parts), std::wstring(60, L'p') + L" (verified Corrabel Ltd)");
}

TEST(PreambleVersion, FourSixteenBitParts) {
    EXPECT_EQ(FormatFileVersion(0x00010002, 0x00030004), L"1.2.3.4");
    EXPECT_EQ(FormatFileVersion(0xFFFF0000, 0x0000FFFF), L"65535.0.0.65535");
    EXPECT_EQ(FormatFileVersion(0, 0), L"0.0.0.0");
}

TEST(PreambleVersion, FirstTranslationWithALanguage) {
    const VersionTranslation mixed[] = {{0, 1200}, {0x0409, 0x04b0}, {0x0407, 0x04e4}};
    VersionTranslation chosen = ChooseTranslation(mixed, 3);
    EXPECT_EQ(chosen.Language, 0x0409);
    EXPECT_EQ(chosen.CodePage, 0x04b0);

    const VersionTranslation neutral[] = {{0, 1200}, {0, 1252}};
    chosen = ChooseTranslation(neutral, 2);
    EXPECT_EQ(chosen.Language, 0);
    EXPECT_EQ(chosen.CodePage, 0);

    chosen = ChooseTranslation(nullptr, 0);
    EXPECT_EQ(chosen.Language, 0);
    EXPECT_EQ(chosen.CodePage, 0);
}

TEST(PreambleVersion, CompanyNameQueryIsLanguageThenCodePageInLowerCaseHex) {
    EXPECT_EQ(CompanyNameQuery({0x0409, 0x04b0}), L"\\StringFileInfo\\040904b0\\CompanyName");
    EXPECT_EQ(CompanyNameQuery({0x0C0A, 0x04E4}), L"\\StringFileInfo\\0c0a04e4\\CompanyName");
    EXPECT_EQ(CompanyNameQuery({0, 0}), L"\\StringFileInfo\\00000000\\CompanyName");
}

TEST(PreambleLines, FirstLineIsTheByteOrderMarkAndTheCDateTime) {
    std::tm moment{};
    moment.tm_year = 124;
    moment.tm_mon = 2;
    moment.tm_mday = 14;
    moment.tm_hour = 13;
    moment.tm_min = 45;
    moment.tm_sec = 7;
    moment.tm_wday = 4;
    moment.tm_yday = 73;
    EXPECT_EQ(FormatFirstLine(moment),
              L"\xFEFF"
              L"03/14/24 13:45:07");
}

TEST(PreambleLines, WindowsLineWithAndWithoutServicePack) {
    OSVERSIONINFOEXW seven{};
    seven.dwMajorVersion = 6;
    seven.dwMinorVersion = 1;
    seven.dwBuildNumber = 7601;
    seven.wServicePackMajor = 1;
    wcscpy_s(seven.szCSDVersion, L"Service Pack 1");
    EXPECT_EQ(FormatWindowsLine(seven), L"Windows 6.1.7601 SP1 Service Pack 1");

    OSVERSIONINFOEXW ten{};
    ten.dwMajorVersion = 10;
    ten.dwBuildNumber = 19045;
    EXPECT_EQ(FormatWindowsLine(ten), L"Windows 10.0.19045 SP0 ");
}

TEST(PreambleLines, UserAntivirusAndPackageLines) {
    EXPECT_EQ(FormatUserLine(L"OFFICE", L"ann"), L"User: OFFICE\\ann");
    EXPECT_EQ(FormatUserLine(L"", L""), L"User: \\");
    EXPECT_EQ(FormatAntivirusLine(L""), L"AntiVirus: ");
    EXPECT_EQ(FormatAntivirusLine(L"\ninstance of AntiVirusProduct\n{\n};\n"),
              L"AntiVirus: \ninstance of AntiVirusProduct\n{\n};\n");
    EXPECT_EQ(FormatIndentedLine(L"The file is not signed."), L"    The file is not signed.");
    EXPECT_EQ(FormatPropertyLine(L"UpgradeCode", L"{X}"), L"    UpgradeCode: {X}");
    EXPECT_EQ(FormatPropertyLine(L"BuildConfiguration", L""), L"    BuildConfiguration: ");
    EXPECT_EQ(std::wstring(kModulesHeading), L"\r\nModules loaded:");
}

// A management object that only renders its text; counts the references still held.
class FakeProduct final : public IWbemClassObject {
public:
    FakeProduct(std::wstring text, HRESULT textResult, LONG& alive)
        : m_text(std::move(text)), m_textResult(textResult), m_alive(alive) {
        ++m_alive;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            --m_alive;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR* text) override {
        if (FAILED(m_textResult))
            return m_textResult;
        *text = SysAllocStringLen(m_text.data(), static_cast<UINT>(m_text.size()));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR, LONG, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

private:
    std::wstring m_text;
    HRESULT m_textResult;
    LONG& m_alive;
    ULONG m_references = 1;
};

// Hands out scripted results of Next, one object per call; lives on the test's stack.
class FakeProducts final : public IEnumWbemClassObject {
public:
    struct Step {
        HRESULT Result;
        FakeProduct* Product;  // handed over with its one reference; null for "nothing returned"
    };
    explicit FakeProducts(std::deque<Step> steps) : m_steps(std::move(steps)) {}
    ~FakeProducts() {
        for (const Step& step : m_steps) {
            if (step.Product)
                step.Product->Release();
        }
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        EXPECT_EQ(timeout, static_cast<LONG>(WBEM_INFINITE));
        EXPECT_EQ(count, 1u);
        ++m_calls;
        *returned = 0;
        if (m_steps.empty())
            return WBEM_S_FALSE;
        const Step step = m_steps.front();
        m_steps.pop_front();
        if (step.Product) {
            objects[0] = step.Product;
            *returned = 1;
        }
        return step.Result;
    }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

    int Calls() const { return m_calls; }

private:
    std::deque<Step> m_steps;
    int m_calls = 0;
};

TEST(AntivirusTexts, EveryProductsTextWithNoSeparator) {
    LONG alive = 0;
    {
        FakeProducts products(
            {{WBEM_S_NO_ERROR, new FakeProduct(L"\ninstance of AntiVirusProduct\n{A};\n", S_OK, alive)},
             {WBEM_S_NO_ERROR, new FakeProduct(L"\ninstance of AntiVirusProduct\n{B};\n", S_OK, alive)}});
        EXPECT_EQ(CollectObjectTexts(&products),
                  L"\ninstance of AntiVirusProduct\n{A};\n\ninstance of AntiVirusProduct\n{B};\n");
        EXPECT_EQ(products.Calls(), 3);
    }
    EXPECT_EQ(alive, 0) << "every product object must be released exactly once";
}

TEST(AntivirusTexts, NoProductGivesTheEmptyText) {
    FakeProducts products({{WBEM_S_FALSE, nullptr}});
    EXPECT_EQ(CollectObjectTexts(&products), L"");
    EXPECT_EQ(products.Calls(), 1);
}

TEST(AntivirusTexts, AFailingStepKeepsWhatWasCollected) {
    LONG alive = 0;
    {
        FakeProducts failingNext({{WBEM_S_NO_ERROR, new FakeProduct(L"first;", S_OK, alive)},
                                  {static_cast<HRESULT>(WBEM_E_FAILED), nullptr},
                                  {WBEM_S_NO_ERROR, new FakeProduct(L"never;", S_OK, alive)}});
        EXPECT_EQ(CollectObjectTexts(&failingNext), L"first;");
        EXPECT_EQ(failingNext.Calls(), 2);

        FakeProducts failingText(
            {{WBEM_S_NO_ERROR, new FakeProduct(L"first;", S_OK, alive)},
             {WBEM_S_NO_ERROR, new FakeProduct(L"broken;", static_cast<HRESULT>(WBEM_E_OUT_OF_MEMORY), alive)},
             {WBEM_S_NO_ERROR, new FakeProduct(L"never;", S_OK, alive)}});
        EXPECT_EQ(CollectObjectTexts(&failingText), L"first;");
        EXPECT_EQ(failingText.Calls(), 2);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace zid
