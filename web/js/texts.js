// The page's words in Japanese and English. The settings' names, the group
// captions and the Reset button are the panel's own (from the engine
// module); the English ones and the page's own controls are written here.

// The panel's captions carry a note after an ideographic space; the blur
// control shows that note beside it.
const kIdeographicSpace = '\u3000';

const english = {
  caption: 'Display settings - Quorvane',
  paramGroup: 'Display parameters',
  jitterGroup: 'Variation settings',
  blurNote: 'Blurred frames are slow',
  colorGroup: 'Colour',
  reset: 'Reset',
  names: {
    'density': 'Density', 'thickness': 'Thickness', 'space': 'Space', 'ratio': 'Ratio',
    'red': 'R', 'green': 'G', 'blue': 'B', 'alpha': 'A',
    'density-jitter': 'Density', 'thickness-jitter': 'Thickness', 'space-jitter': 'Space',
    'alpha-jitter': 'Transparency', 'blur': 'Blur',
  },
  newPattern: 'New pattern (N)',
  seed: 'Seed',
  open: 'Open image…',
  closeImage: 'Remove image',
  savePng: 'Save PNG (lines)',
  saveComposite: 'Save PNG (over image)',
  saveSvg: 'Save SVG',
  saveJson: 'Save JSON',
  language: '日本語',
  languageLabel: 'Switch to Japanese',
  hide: 'Hide controls',
  show: 'Show controls',
  picture: 'Focus lines; drag to move the centre, wheel or pinch to size the empty centre, arrow keys move the centre',
  help: 'Drag the picture to move the centre; the wheel or a pinch sizes the empty centre; N draws a new pattern; drop an image to draw over it.',
  problems: {
    empty: (name) => `“${name}” is empty: nothing to open. The picture is kept.`,
    unknown: (name) => `“${name}” is not a PNG, JPEG or WebP image. The picture is kept.`,
    broken: (name) => `“${name}” is damaged and cannot be read. The picture is kept.`,
    large: (name, w, h, side, mp) => `“${name}” is ${w}×${h}: too large (at most ${side} a side and ${mp} M pixels). The picture is kept.`,
    draw: () => 'This picture could not be drawn (not enough memory). The previous one is kept.',
  },
  addressNote: (n) => `Address: ${n.flag}=${n.value} ${n.problem === 'range' ? 'is out of range' : 'is not valid'}; ${n.used} used.`,
};

const japanese = {
  newPattern: '新しいパターン (N)',
  seed: 'シード',
  open: '画像を開く…',
  closeImage: '画像を外す',
  savePng: 'PNG保存（線のみ）',
  saveComposite: 'PNG保存（画像と合成）',
  saveSvg: 'SVG保存',
  saveJson: 'JSON保存',
  language: 'English',
  languageLabel: '英語に切り替え',
  hide: '設定を隠す',
  show: '設定を表示',
  picture: '集中線。ドラッグで中心を移動、ホイールまたはピンチで中心円サイズを変更、矢印キーで中心を移動',
  help: 'ドラッグで中心位置が変わります。ホイールまたはピンチで中心円サイズが変わります。Nキーで再描画します。画像をドロップするとその上に描きます。',
  problems: {
    empty: (name) => `「${name}」は空のファイルです。画像はそのままです。`,
    unknown: (name) => `「${name}」はPNG・JPEG・WebP画像ではありません。画像はそのままです。`,
    broken: (name) => `「${name}」は壊れていて読めません。画像はそのままです。`,
    large: (name, w, h, side, mp) => `「${name}」は${w}×${h}で大きすぎます（一辺${side}、${mp}M画素まで）。画像はそのままです。`,
    draw: () => 'メモリが足りず描けませんでした。前の画像はそのままです。',
  },
  addressNote: (n) => `アドレス: ${n.flag}=${n.value} は${n.problem === 'range' ? '範囲外' : '無効'}です。${n.used} を使います。`,
};

// The texts for `lang` ('ja' or 'en'), the panel's where it has them.
export function textsFor(lang, panel) {
  if (lang === 'en') return english;
  const [jitterGroup, blurNote] = panel.jitterGroup.split(kIdeographicSpace);
  return {
    ...japanese,
    caption: panel.caption.trim(),
    paramGroup: panel.paramGroup,
    jitterGroup,
    blurNote: blurNote || '',
    colorGroup: panel.colorGroup,
    reset: panel.reset,
    names: Object.fromEntries(panel.slots.map((s) => [s.flag, s.name])),
  };
}

// Japanese for a browser set to Japanese, English otherwise.
export function preferredLanguage(language) {
  return /^ja\b/i.test(language || '') ? 'ja' : 'en';
}
