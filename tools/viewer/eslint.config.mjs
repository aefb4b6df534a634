// ESLint's settings for the project's JavaScript: the viewer's page (browser
// modules) and the Node.js scripts of tools/ and the browser test. Run by
// scripts/lint.sh from the top of the tree; only rules that find faults
// (ESLint's recommended set and a few more), no layout rules.
import js from "@eslint/js";
import globals from "globals";
import { fileURLToPath } from "node:url";

// The top of the tree, whatever folder ESLint runs in.
const top = fileURLToPath(new URL("../..", import.meta.url));

const faults = {
    ...js.configs.recommended.rules,
    "no-unused-vars": ["error", { args: "after-used", argsIgnorePattern: "^_", caughtErrors: "none" }],
    "no-var": "error",
    "prefer-const": "error",
    eqeqeq: ["error", "always", { null: "ignore" }],
    "no-unmodified-loop-condition": "error",
    "no-unreachable-loop": "error",
};

export default [
    {
        basePath: top,
        files: ["driver/view/page/**/*.js", "tools/viewer-bench/plain/*.js"],
        languageOptions: { ecmaVersion: 2022, sourceType: "module", globals: globals.browser },
        rules: faults,
    },
    {
        basePath: top,
        files: ["tools/*/*.mjs"],
        languageOptions: { ecmaVersion: 2022, sourceType: "module", globals: globals.node },
        rules: faults,
    },
    {
        // The browser test and the viewer's benchmark run in Node.js and
        // hand functions to the page.
        basePath: top,
        files: ["tests/browser/*.mjs", "tools/viewer-bench/*.mjs"],
        languageOptions: {
            ecmaVersion: 2022,
            sourceType: "module",
            globals: { ...globals.node, ...globals.browser },
        },
        rules: faults,
    },
];
